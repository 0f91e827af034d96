// The banner strip on the main window as a user meets it: the picture and its
// link at start, the flash, the hover colours, where a click leads, what a
// screen reader reads; and with the site's server down, the picture stays
// and the window keeps answering while the connection is tried.
#include "gui/BannerStrip.h"
#include "FakePlatform.h"
#include "gui/Master.h"
#include "gui/QtPlatform.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QTcpServer>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// Never connected: the strip keeps its picture and never loads a page.
struct TOfflineConnection : IBannerConnection {
  int Attempts = 0;
  void AttemptConnect(std::function<void(bool)> Answer) override {
    ++Attempts;
    QTimer::singleShot(0, [Answer = std::move(Answer)] { Answer(false); });
  }
};

QColor TextColor(const QWidget* W) {
  return W->palette().color(QPalette::WindowText);
}

// A port on 127.0.0.1 that nothing listens on.
quint16 ClosedPort() {
  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHost)) return 0;
  const quint16 port = server.serverPort();
  server.close();
  return port;
}

struct TBannerStripTest : ::testing::Test {
  TFakePlatform Platform;
  TFakeShell Shell;
  TOfflineConnection Offline;
  std::unique_ptr<TMaster> M;

  void Open(TBannerServices Services) {
    M = std::make_unique<TMaster>(Platform, Platform, Services);
    M->show();
    QApplication::setActiveWindow(M.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(M.get()));
  }
  void OpenOffline() { Open({&Offline, &Shell, "glyptika.example"}); }
  // Timer1 at a test's pace, so a tick comes within the test.
  void TickEvery(int Milliseconds) {
    M->Timer1->setInterval(Milliseconds);
    M->Timer1->start();
  }
};

TEST_F(TBannerStripTest, OpensWithThePictureAndItsLink) {
  OpenOffline();
  EXPECT_TRUE(M->PBaner->isVisible());
  EXPECT_EQ(M->PBaner->geometry(), QRect(11, 0, 474, 66));
  EXPECT_EQ(M->Image1->size(), QSize(468, 60));
  const QImage picture = M->Image1->pixmap().toImage();
  ASSERT_EQ(picture.size(), QSize(468, 60)) << "the picture is built in";
  QSet<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      colours.insert(picture.pixel(x, y));
  EXPECT_LE(colours.size(), 256) << "8-bit colour";
  EXPECT_GT(colours.size(), 16) << "more than a blank";

  EXPECT_TRUE(M->LabelWWW->isVisible());
  EXPECT_EQ(M->LabelWWW->text(), "glyptika.example");
  EXPECT_TRUE(M->Image1->geometry().contains(M->LabelWWW->geometry())) << "on the picture";
  EXPECT_TRUE(M->LabelWWW->font().bold());
  EXPECT_TRUE(M->LabelWWW->font().underline());
  EXPECT_EQ(M->LabelWWW->font().pixelSize(), 11);
  EXPECT_EQ(TextColor(M->LabelWWW), QColor(0x66, 0x33, 0x33));
  EXPECT_FALSE(M->LabelWWW->autoFillBackground()) << "the picture shows through";
  EXPECT_EQ(M->LabelWWW->cursor().shape(), Qt::PointingHandCursor);
  // All of the caption shows.
  EXPECT_GE(M->LabelWWW->width(), M->LabelWWW->sizeHint().width());

  EXPECT_FALSE(M->PanelWeb->isVisible());
  EXPECT_EQ(M->PanelWeb->geometry(), QRect(10, 1, 473, 63));
  EXPECT_FALSE(M->LWWW2->isVisible());
  EXPECT_EQ(M->LWWW2->pos(), QPoint(6, 245));
  EXPECT_EQ(M->LWWW2->text(), "glyptika.example");
  EXPECT_EQ(TextColor(M->LWWW2), QColor(Qt::blue));
  EXPECT_FALSE(M->LWWW2->font().underline());
  EXPECT_EQ(M->LWWW2->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_FALSE(M->LWWW2->geometry().intersects(M->bUpdate->geometry()));

  EXPECT_TRUE(M->Timer1->isActive());
  EXPECT_EQ(M->Timer1->interval(), 15000);
  EXPECT_FALSE(M->Banner->Core().BannerRequested());
}

TEST_F(TBannerStripTest, WithoutAConnectionTheLinkFlashesRedForAMomentEveryTick) {
  OpenOffline();
  TickEvery(1000); // longer than a flash
  ASSERT_TRUE(QTest::qWaitFor([&] { return TextColor(M->LabelWWW) == QColor(Qt::red); }, 2000))
      << "the first tick without a connection flashes";
  QElapsedTimer red;
  red.start();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return TextColor(M->LabelWWW) == QColor(0x66, 0x33, 0x33); }, 2000));
  EXPECT_GE(red.elapsed(), 300) << "about 400 ms of red";
  EXPECT_LT(red.elapsed(), 900);
  ASSERT_TRUE(QTest::qWaitFor([&] { return TextColor(M->LabelWWW) == QColor(Qt::red); }, 3000))
      << "and the next tick flashes again";
  EXPECT_EQ(Offline.Attempts, 1) << "one attempt per run";
  EXPECT_TRUE(M->PBaner->isVisible());
  EXPECT_FALSE(M->PanelWeb->isVisible());
  EXPECT_FALSE(M->LWWW2->isVisible());
  EXPECT_FALSE(M->Banner->WebBrowser()) << "no browser is started for nothing";
}

TEST_F(TBannerStripTest, HoveringTheLinksColoursAndUnderlinesThem) {
  OpenOffline();
  QEvent enter(QEvent::Enter), leave(QEvent::Leave);
  QApplication::sendEvent(M->LabelWWW, &enter);
  EXPECT_EQ(TextColor(M->LabelWWW), QColor(Qt::red));
  QApplication::sendEvent(M->LabelWWW, &leave);
  EXPECT_EQ(TextColor(M->LabelWWW), QColor(0x66, 0x33, 0x33));

  QApplication::sendEvent(M->LWWW2, &enter);
  EXPECT_TRUE(M->LWWW2->font().underline());
  QApplication::sendEvent(M->LWWW2, &leave);
  EXPECT_FALSE(M->LWWW2->font().underline());
}

TEST_F(TBannerStripTest, BothLinksOpenTheSiteInTheBrowserByMouseAndByKey) {
  OpenOffline();
  M->LWWW2->show(); // as after the page has come
  QTest::mouseClick(M->LabelWWW, Qt::LeftButton);
  QTest::mouseClick(M->LWWW2, Qt::LeftButton);
  QTest::mouseClick(M->LWWW2, Qt::RightButton); // not a click on a link
  M->LWWW2->setFocus();
  QTest::keyClick(M->LWWW2, Qt::Key_Return);
  const std::string site = "http://glyptika.example?pr=kxr";
  EXPECT_EQ(Shell.Opened, (std::vector<std::string>{site, site, site}));
}

TEST_F(TBannerStripTest, ScreenReadersReadTheBannerControls) {
  OpenOffline();
  struct TCase {
    QWidget* Widget;
    const char* Name;
  } cases[] = {{M->Image1, "Banner"},
               {M->LabelWWW, "Maker's web site"},
               {M->LWWW2, "Maker's web site"},
               {M->PanelWeb, "Banner page"}};
  for (const TCase& c : cases) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.Widget);
    ASSERT_TRUE(a) << c.Name;
    EXPECT_EQ(a->text(QAccessible::Name), c.Name);
  }
  QAccessibleInterface* link = QAccessible::queryAccessibleInterface(M->LabelWWW);
  EXPECT_EQ(link->text(QAccessible::Description), "glyptika.example") << "where it leads";
  EXPECT_EQ(M->LabelWWW->focusPolicy() & Qt::TabFocus, Qt::TabFocus) << "reachable by Tab";
}

TEST_F(TBannerStripTest, ABuiltSiteIsTheCaptionOfBothLinks) {
  Open({&Offline, &Shell, ""});
  EXPECT_EQ(M->LabelWWW->text().toStdString(), BuildBannerSite());
  EXPECT_EQ(M->LWWW2->text().toStdString(), BuildBannerSite());
  EXPECT_EQ(M->Banner->Core().Site(), BuildBannerSite());
}

TEST_F(TBannerStripTest, WithTheServerDownThePictureStaysAndTheWindowKeepsAnswering) {
  const quint16 port = ClosedPort();
  ASSERT_NE(port, 0);
  Open({nullptr, &Shell, "127.0.0.1:" + std::to_string(port)}); // the desktop's own connection
  // A timer of the window's own: each of its ticks is the window answering.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longestGap = 0;
  int ticks = 0;
  QTimer alive;
  QObject::connect(&alive, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, clock.elapsed() - last);
    last = clock.elapsed();
    ++ticks;
  });
  alive.start(10);
  TickEvery(100);
  ASSERT_TRUE(QTest::qWaitFor([&] { return M->Banner->Core().BannerRequested(); }, 2000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !M->Banner->Core().Attempting(); },
                              TQtBannerConnection::TimeoutMs + 2000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return TextColor(M->LabelWWW) == QColor(Qt::red); }, 2000));
  QTest::qWait(500);
  EXPECT_GT(ticks, 20);
  EXPECT_LT(longestGap, 250) << "the window stopped answering for " << longestGap << " ms";
  EXPECT_TRUE(M->PBaner->isVisible());
  EXPECT_FALSE(M->PanelWeb->isVisible());
  EXPECT_FALSE(M->LWWW2->isVisible());
  EXPECT_TRUE(M->Banner->Core().RequestedAddress().empty()) << "nothing was asked for";
}

TEST(TQtBannerConnectionTest, AnswersOnceWithinItsTimeAndTheLoopRunsMeanwhile) {
  struct Row {
    const char* Name;
    std::string Site;
    std::optional<bool> Expected; // nothing: either answer, as the network goes
  };
  QTcpServer listening;
  ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
  const std::string open = "127.0.0.1:" + std::to_string(listening.serverPort());
  const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
  for (const Row& r : {
           Row{"a listening local server", open, true},
           Row{"a local port nobody listens on", closed, false},
           Row{"the reserved name of an unconfigured build", "glyptika.example", false},
           Row{"a site that is no host", ":80", false},
           // A documentation address that is never routed: it times out or fails.
           Row{"an unreachable address", "192.0.2.1:80", std::nullopt},
       }) {
    TQtBannerConnection connection(r.Site, 500);
    int answers = 0;
    bool connected = false;
    bool answeredInside = false;
    connection.AttemptConnect([&](bool Connected) {
      ++answers;
      connected = Connected;
    });
    answeredInside = answers > 0;
    int ticks = 0;
    QTimer alive;
    QObject::connect(&alive, &QTimer::timeout, [&] { ++ticks; });
    alive.start(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers > 0; }, 2000)) << r.Name;
    QTest::qWait(600); // past the time limit: no second answer
    EXPECT_EQ(answers, 1) << r.Name;
    EXPECT_FALSE(answeredInside) << r.Name << ": the answer comes from the event loop";
    if (r.Expected) {
      EXPECT_EQ(connected, *r.Expected) << r.Name;
    }
    EXPECT_GT(ticks, 20) << r.Name;
  }
}

TEST(TQtBannerConnectionTest, NoAnswerComesAfterTheConnectionIsGone) {
  bool answered = false;
  {
    TQtBannerConnection connection("192.0.2.1:80", 200);
    connection.AttemptConnect([&](bool) { answered = true; });
  }
  QTest::qWait(400);
  EXPECT_FALSE(answered);
}

} // namespace
