// The banner strip's controls on the main window, a thin view over TBanner:
// PBaner with the picture Image1 and the link LabelWWW on it, PanelWeb with
// the embedded browser beneath it, and the small link LWWW2 at the bottom
// left. Also the desktop's side of the strip: the network check, the
// default browser and the timers.
//
// Built without QtWebEngine, the strip never asks for the page: the picture
// stays and its link flashes.
#pragma once

#include "render/Banner.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QFrame;
class QLabel;
class QWidget;

// Whether this build can show the banner page.
bool BannerPagesShown();

// The maker's site this build was configured with (GLYPTIKA_SITE).
std::string BuildBannerSite();

// InternetAttemptConnect on the desktop. A reserved name is never looked up.
// Else the desktop's network status answers when it knows (never for a
// loopback site), and otherwise a connection to the site's host is tried,
// given up after a few seconds. Nothing blocks the event loop.
class TQtBannerConnection : public QObject, public IBannerConnection {
public:
  static constexpr int TimeoutMs = 3000;
  explicit TQtBannerConnection(std::string Site, int Timeout = TimeoutMs,
                               QObject* Parent = nullptr);
  void AttemptConnect(std::function<void(bool Connected)> Answer) override;

private:
  void TrySocket(const TSiteEndpoint& Endpoint, std::function<void(bool)> Answer);
  std::string FSite;
  int FTimeout;
};

// The shell's open: the desktop's default browser (which decides itself how
// big its window is).
class TQtBannerShell : public IBannerShell {
public:
  void OpenAddress(const std::string& Address) override;
};

// Single-shot timers tied to a QObject: none runs after it is gone.
class TQtBannerClock : public IBannerClock {
public:
  explicit TQtBannerClock(QObject* Context) : FContext(Context) {}
  void After(int Milliseconds, std::function<void()> Then) override;

private:
  QObject* FContext;
};

// What the main window may put in place of the desktop's own, for tests and
// for a site other than the build's.
struct TBannerServices {
  IBannerConnection* Connection = nullptr; // TQtBannerConnection to the site
  IBannerShell* Shell = nullptr;           // TQtBannerShell
  std::string Site;                        // BuildBannerSite()
};

class TBannerStrip : public QObject, public IBannerView {
  Q_OBJECT
public:
  // The controls go on Form at their places; VersionCode is the main
  // window's GetOsVersionCode.
  TBannerStrip(QWidget* Form, const TBannerServices& Services, std::function<int()> VersionCode);
  ~TBannerStrip() override;

  TBanner& Core() { return *FCore; }

  QFrame* PBaner;
  QLabel* Image1;
  QLabel* LabelWWW;
  QFrame* PanelWeb;
  QLabel* LWWW2;
  // The embedded browser; made when the page is first asked for.
  QWidget* WebBrowser() const { return FBrowser; }

  bool PictureVisible() const override;
  void HidePicture() override;
  void ShowWebPanel() override;
  void Navigate(const std::string& Address) override;
  void ShowSmallLink() override;
  void SetLinkColor(TColor Color) override;
  void SetSmallLinkUnderline(bool Underline) override;

signals:
  // The browser finished a document (ok or not) and the strip has acted on it.
  void DocumentCompleted(const QString& Address);

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  std::unique_ptr<IBannerConnection> FOwnConnection;
  std::unique_ptr<IBannerShell> FOwnShell;
  TQtBannerClock FClock;
  std::unique_ptr<TBanner> FCore;
  QPointer<QWidget> FBrowser;
  QPointer<QObject> FProfile; // goes after the browser's page, which uses it
};
