// The banner strip's decisions, without a window: the picture with its
// flashing link, the one request for the maker's banner page, the page
// taking the picture's place, and the links to the maker's site.
//
// The window (IBannerView), the network check (IBannerConnection), the
// desktop's browser (IBannerShell) and the timers (IBannerClock) come in
// through small interfaces, so tests drive the strip with fakes and no
// network. Nothing here waits: a connection attempt answers later, and the
// flash ends on a timer of its own, so the window keeps answering.
#pragma once

#include "base/Color.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Timer1's interval, and how long the link stays red when it flashes.
constexpr int BannerTickMs = 15000;
constexpr int BannerFlashMs = 400;
// LabelWWW's own colour, and the red it takes while hovered or flashing.
constexpr TColor BannerLinkColor = RGB(0x66, 0x33, 0x33);
constexpr TColor BannerLinkHotColor = RGB(0xFF, 0, 0);

// What the request tells the site about the machine.
struct TBannerFacts {
  std::string Country; // three letters, "USA"; empty when the locale names no country
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int VersionCode = 0; // the main window's GetOsVersionCode
};

// "c=%s&s=%dx%d&w=%d&v=3", the country percent-encoded (it is letters in
// practice, but goes into an address whatever the locale says).
std::string BannerQuery(const TBannerFacts& Facts);
// "http://" + Site + "/baner.php?" + the query.
std::string BannerAddress(std::string_view Site, const TBannerFacts& Facts);
// Where either label leads: "http://" + Site + "?pr=kxr".
std::string BannerLinkAddress(std::string_view Site);
// A completed document replaces the picture unless its address is empty or
// begins with "res" (the browser's own pages), case counting.
bool DocumentReplacesPicture(std::string_view Address);

// The host and port a site ("name", "name:port", "[v6]:port") is reached at;
// nothing for a site no connection can be tried to.
struct TSiteEndpoint {
  std::string Host;
  int Port = 80;
  friend bool operator==(const TSiteEndpoint&, const TSiteEndpoint&) = default;
};
std::optional<TSiteEndpoint> SiteEndpoint(std::string_view Site);
// localhost, 127.0.0.0/8 and ::1: the desktop's network status says nothing of them.
bool IsLoopbackHost(std::string_view Host);
// Names under the top-level domains kept for examples and tests (example,
// invalid, test): nothing is looked up for them, not even their address.
bool HostNeverResolves(std::string_view Host);

// The ISO 3166 three-letter code of a locale name's territory ("en_US.UTF-8"
// gives "USA"); empty for "C", "POSIX" and names without a known territory.
std::string CountryOfLocaleName(std::string_view LocaleName);
// The country of the user's locale: the C library's own three-letter code
// when the locale is installed, else the code of the territory its name
// carries (LC_ALL, then LC_ADDRESS, then LANG).
std::string SystemCountryCode();

class IBannerView {
public:
  virtual ~IBannerView() = default;
  virtual bool PictureVisible() const = 0; // PBaner
  virtual void HidePicture() = 0;
  virtual void ShowWebPanel() = 0; // PanelWeb, beneath the picture
  virtual void Navigate(const std::string& Address) = 0;
  virtual void ShowSmallLink() = 0; // LWWW2
  // LabelWWW's colour, painted before the next tick can come.
  virtual void SetLinkColor(TColor Color) = 0;
  virtual void SetSmallLinkUnderline(bool Underline) = 0;
};

class IBannerConnection {
public:
  virtual ~IBannerConnection() = default;
  // InternetAttemptConnect: returns at once and answers once, later or at
  // once, whether a connection is possible. No answer comes after the
  // connection object is gone.
  virtual void AttemptConnect(std::function<void(bool Connected)> Answer) = 0;
};

class IBannerShell {
public:
  virtual ~IBannerShell() = default;
  // The shell's "open" of an address: the desktop's default browser.
  virtual void OpenAddress(const std::string& Address) = 0;
};

class IBannerClock {
public:
  virtual ~IBannerClock() = default;
  // Runs Then once, Milliseconds from now, from the event loop; never
  // after the clock is gone.
  virtual void After(int Milliseconds, std::function<void()> Then) = 0;
};

class TBanner {
public:
  // Site: the maker's web address, the caption of both labels. Facts is asked
  // only when the request is made.
  TBanner(IBannerView& View, IBannerConnection& Connection, IBannerShell& Shell,
          IBannerClock& Clock, std::string Site, std::function<TBannerFacts()> Facts);

  const std::string& Site() const { return FSite; }

  // Timer1: the first tick while the picture shows tries the request (at
  // most once per run); every other tick, and a first tick without a
  // connection, flashes the link.
  void Timer1Timer();
  void WebBrowserDocumentComplete(const std::string& Address);
  void LabelWWWMouseEnter();
  void LabelWWWMouseLeave();
  void LWWW2MouseEnter();
  void LWWW2MouseLeave();
  // A click on either label.
  void LWWW2Click();

  bool BannerRequested() const { return FBannerRequested; }
  bool Attempting() const { return FAttempting; }
  bool Flashing() const { return FFlashing; }
  // The address the browser was sent to; empty before.
  const std::string& RequestedAddress() const { return FRequested; }

private:
  void Answered(bool Connected);
  void Flash();
  void PaintLink();

  IBannerView& FView;
  IBannerConnection& FConnection;
  IBannerShell& FShell;
  IBannerClock& FClock;
  std::string FSite;
  std::function<TBannerFacts()> FFacts;
  std::string FRequested;
  bool FBannerRequested = false;
  bool FAttempting = false;
  bool FHovered = false;
  bool FFlashing = false;
  unsigned FFlashSerial = 0; // the timer of an earlier flash must not end a later one
};
