#include "gui/BannerStrip.h"

#include "gui/QtPlatform.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkInformation>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#if GLYPTIKA_WEB_ENGINE
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#endif

#include <algorithm>

#ifndef GLYPTIKA_SITE
#define GLYPTIKA_SITE "glyptika.example"
#endif

bool BannerPagesShown() {
  return GLYPTIKA_WEB_ENGINE != 0;
}

std::string BuildBannerSite() {
  return GLYPTIKA_SITE;
}

namespace {

// A connection for a build that cannot show the page: nothing to ask for.
class TNoPageConnection : public QObject, public IBannerConnection {
public:
  void AttemptConnect(std::function<void(bool)> Answer) override {
    QTimer::singleShot(0, this, [Answer = std::move(Answer)] { Answer(false); });
  }
};

// A link label that shows when it has the keyboard focus.
class TLinkLabel : public QLabel {
public:
  TLinkLabel(const QString& Caption, QWidget* Parent) : QLabel(Caption, Parent) {}

protected:
  void paintEvent(QPaintEvent* Event) override {
    QLabel::paintEvent(Event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.state |= QStyle::State_KeyboardFocusChange;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
};

} // namespace

TQtBannerConnection::TQtBannerConnection(std::string Site, int Timeout, QObject* Parent)
    : QObject(Parent), FSite(std::move(Site)), FTimeout(Timeout) {}

void TQtBannerConnection::AttemptConnect(std::function<void(bool)> Answer) {
  const std::optional<TSiteEndpoint> endpoint = SiteEndpoint(FSite);
  const auto answerLater = [this, &Answer](bool Connected) {
    QTimer::singleShot(0, this, [Answer = std::move(Answer), Connected] { Answer(Connected); });
  };
  if (!endpoint || HostNeverResolves(endpoint->Host)) return answerLater(false);
  if (!IsLoopbackHost(endpoint->Host) &&
      QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
    switch (QNetworkInformation::instance()->reachability()) {
    case QNetworkInformation::Reachability::Online:
      return answerLater(true);
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
      return answerLater(false);
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Unknown:
      break; // the site itself may tell
    }
  }
  TrySocket(*endpoint, std::move(Answer));
}

void TQtBannerConnection::TrySocket(const TSiteEndpoint& Endpoint,
                                    std::function<void(bool)> Answer) {
  auto* socket = new QTcpSocket(this);
  auto* timeout = new QTimer(socket);
  timeout->setSingleShot(true);
  // Whichever comes first answers; the socket then goes, with its timer.
  auto finish = [socket, Answer = std::move(Answer)](bool Connected) mutable {
    if (!Answer) return;
    auto answer = std::exchange(Answer, nullptr);
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
    answer(Connected);
  };
  auto shared = std::make_shared<decltype(finish)>(std::move(finish));
  connect(socket, &QTcpSocket::connected, this, [shared] { (*shared)(true); });
  connect(socket, &QTcpSocket::errorOccurred, this, [shared] { (*shared)(false); });
  connect(timeout, &QTimer::timeout, this, [shared] { (*shared)(false); });
  timeout->start(FTimeout);
  socket->connectToHost(QString::fromStdString(Endpoint.Host), quint16(Endpoint.Port));
}

void TQtBannerShell::OpenAddress(const std::string& Address) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(Address)));
}

void TQtBannerClock::After(int Milliseconds, std::function<void()> Then) {
  QTimer::singleShot(Milliseconds, FContext, std::move(Then));
}

TBannerStrip::TBannerStrip(QWidget* Form, const TBannerServices& Services,
                           std::function<int()> VersionCode)
    : QObject(Form), FClock(this) {
  const std::string site = Services.Site.empty() ? BuildBannerSite() : Services.Site;
  IBannerConnection* connection = Services.Connection;
  if (!connection) {
    if (BannerPagesShown())
      FOwnConnection = std::make_unique<TQtBannerConnection>(site);
    else
      FOwnConnection = std::make_unique<TNoPageConnection>();
    connection = FOwnConnection.get();
  }
  IBannerShell* shell = Services.Shell;
  if (!shell) {
    FOwnShell = std::make_unique<TQtBannerShell>();
    shell = FOwnShell.get();
  }
  FCore = std::make_unique<TBanner>(
      *this, *connection, *shell, FClock, site, [VersionCode = std::move(VersionCode)] {
        TBannerFacts facts;
        facts.Country = SystemCountryCode();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
          facts.ScreenWidth = screen->size().width();
          facts.ScreenHeight = screen->size().height();
        }
        facts.VersionCode = VersionCode ? VersionCode() : 0;
        return facts;
      });
  const QString caption = QString::fromStdString(site);

  PanelWeb = new QFrame(Form);
  PanelWeb->setFrameShape(QFrame::NoFrame);
  PanelWeb->setGeometry(10, 1, 473, 63);
  PanelWeb->setAccessibleName(QStringLiteral("Banner page"));
  PanelWeb->hide();

  PBaner = new QFrame(Form);
  PBaner->setFrameShape(QFrame::Panel);
  PBaner->setFrameShadow(QFrame::Sunken);
  PBaner->setLineWidth(3);
  PBaner->setGeometry(11, 0, 474, 66);
  Image1 = new QLabel(PBaner);
  Image1->setGeometry(3, 3, 468, 60);
  Image1->setPixmap(QPixmap(QStringLiteral(":/banner/Image1")));
  Image1->setAccessibleName(QStringLiteral("Banner"));

  QFont linkFont = Form->font();
  linkFont.setBold(true);
  linkFont.setUnderline(true);
  LabelWWW = new TLinkLabel(caption, PBaner);
  LabelWWW->setFont(linkFont);
  LabelWWW->setCursor(Qt::PointingHandCursor);
  LabelWWW->setAccessibleName(QStringLiteral("Maker's web site"));
  LabelWWW->setAccessibleDescription(caption);
  LabelWWW->setFocusPolicy(Qt::TabFocus);
  // On the picture's free corner, bottom right.
  const QSize hint = LabelWWW->sizeHint();
  const int width = std::min(hint.width(), Image1->width() - 8);
  LabelWWW->setGeometry(Image1->geometry().right() + 1 - 6 - width,
                        Image1->geometry().bottom() + 1 - 3 - hint.height(), width, hint.height());

  LWWW2 = new TLinkLabel(caption, Form);
  LWWW2->setCursor(Qt::PointingHandCursor);
  LWWW2->setAccessibleName(QStringLiteral("Maker's web site"));
  LWWW2->setAccessibleDescription(caption);
  LWWW2->setFocusPolicy(Qt::TabFocus);
  QPalette blue = LWWW2->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  LWWW2->setPalette(blue);
  // Left of the buttons of the bottom row.
  LWWW2->setGeometry(6, 245, std::min(LWWW2->sizeHint().width(), 276), LWWW2->sizeHint().height());
  LWWW2->hide();

  const std::pair<QObject*, const char*> names[] = {{PBaner, "PBaner"},
                                                    {Image1, "Image1"},
                                                    {LabelWWW, "LabelWWW"},
                                                    {PanelWeb, "PanelWeb"},
                                                    {LWWW2, "LWWW2"}};
  for (const auto& [object, name] : names)
    object->setObjectName(QString::fromLatin1(name));

  SetLinkColor(BannerLinkColor);
  LabelWWW->installEventFilter(this);
  LWWW2->installEventFilter(this);
}

TBannerStrip::~TBannerStrip() {
  delete FBrowser;
  delete FProfile;
}

bool TBannerStrip::eventFilter(QObject* Watched, QEvent* Event) {
  const bool big = Watched == LabelWWW;
  if (!big && Watched != LWWW2) return QObject::eventFilter(Watched, Event);
  switch (Event->type()) {
  case QEvent::Enter:
    big ? FCore->LabelWWWMouseEnter() : FCore->LWWW2MouseEnter();
    break;
  case QEvent::Leave:
    big ? FCore->LabelWWWMouseLeave() : FCore->LWWW2MouseLeave();
    break;
  case QEvent::MouseButtonRelease: {
    const auto* mouse = static_cast<QMouseEvent*>(Event);
    if (mouse->button() == Qt::LeftButton &&
        static_cast<QWidget*>(Watched)->rect().contains(mouse->position().toPoint()))
      FCore->LWWW2Click();
    break;
  }
  case QEvent::KeyPress: {
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      FCore->LWWW2Click();
      return true;
    }
    break;
  }
  default:
    break;
  }
  return QObject::eventFilter(Watched, Event);
}

bool TBannerStrip::PictureVisible() const {
  return !PBaner->isHidden();
}

void TBannerStrip::HidePicture() {
  PBaner->hide();
}

void TBannerStrip::ShowWebPanel() {
  PanelWeb->show();
  PanelWeb->lower(); // beneath the picture until the page is there
}

void TBannerStrip::Navigate(const std::string& Address) {
#if GLYPTIKA_WEB_ENGINE
  if (!FBrowser) {
    // Off the record: the page leaves no cookies or cache behind.
    auto* profile = new QWebEngineProfile(this);
    FProfile = profile;
    auto* view = new QWebEngineView(PanelWeb);
    view->setPage(new QWebEnginePage(profile, view));
    view->setGeometry(PanelWeb->rect());
    view->setObjectName(QStringLiteral("WebBrowser"));
    view->setAccessibleName(QStringLiteral("Banner page"));
    view->show();
    connect(view, &QWebEngineView::loadFinished, this, [this, view](bool Ok) {
      // A page that did not load is the browser's own error page.
      const QString address = Ok ? view->url().toString() : QString();
      FCore->WebBrowserDocumentComplete(address.toStdString());
      emit DocumentCompleted(address);
    });
    FBrowser = view;
  }
  static_cast<QWebEngineView*>(FBrowser.data())->setUrl(QUrl(QString::fromStdString(Address)));
#else
  (void)Address;
#endif
}

void TBannerStrip::ShowSmallLink() {
  LWWW2->show();
}

void TBannerStrip::SetLinkColor(TColor Color) {
  QPalette palette = LabelWWW->palette();
  palette.setColor(QPalette::WindowText, ToQColor(Color));
  LabelWWW->setPalette(palette);
  LabelWWW->update();
}

void TBannerStrip::SetSmallLinkUnderline(bool Underline) {
  QFont font = LWWW2->font();
  font.setUnderline(Underline);
  LWWW2->setFont(font);
}
