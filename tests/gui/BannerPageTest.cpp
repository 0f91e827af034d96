// The banner page from a real HTTP server on 127.0.0.1: the first tick asks
// for it with the machine's facts, the page replaces the picture and the
// small link shows; a page that does not load leaves the picture.
//
// The web engine's own library trips AddressSanitizer's sized-delete check
// and leaves allocations behind at exit, so each page test runs in a child
// process of this program with that check off and the engine's leaks alone
// suppressed; the child is the test's BannerPageChild twin, skipped when run
// on its own.
#include "FakePlatform.h"
#include "gui/BannerStrip.h"
#include "gui/Master.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const char* const ChildVariable = "GLYPTIKA_BANNER_PAGE_CHILD";

// A tiny HTTP server: records the target of every request and answers with a
// small page, or hangs up without a word.
class TTinyServer : public QObject {
public:
  bool HangUp = false;
  std::vector<std::string> Targets;

  bool Listen() {
    connect(&FServer, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = FServer.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
      }
    });
    return FServer.listen(QHostAddress::LocalHost);
  }
  std::string Site() const { return "127.0.0.1:" + std::to_string(FServer.serverPort()); }
  int BannerRequests() const {
    int n = 0;
    for (const std::string& t : Targets)
      n += t.starts_with("/baner.php") ? 1 : 0;
    return n;
  }

private:
  void Read(QTcpSocket* Socket) {
    QByteArray& request = FPending[Socket];
    request += Socket->readAll();
    if (!request.contains("\r\n\r\n")) return;
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    Targets.push_back(words.size() > 1 ? words[1].toStdString() : std::string());
    FPending.remove(Socket);
    if (HangUp) {
      Socket->abort();
      return;
    }
    const QByteArray body =
        "<html><body style='margin:0;background:#fc6;font:bold 20px sans-serif'>"
        "The maker's banner page</body></html>";
    Socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                  "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    Socket->disconnectFromHost();
  }

  QTcpServer FServer;
  QHash<QTcpSocket*, QByteArray> FPending;
};

// Runs the named BannerPageChild test in a child process; its output on failure.
void RunChild(const char* Name) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QFile suppressions(folder.filePath(QStringLiteral("lsan.supp")));
  ASSERT_TRUE(suppressions.open(QIODevice::WriteOnly));
  suppressions.write("leak:libQt6WebEngineCore.so\n");
  suppressions.close();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(ChildVariable), QStringLiteral("1"));
  env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                 QStringLiteral(":new_delete_type_mismatch=0"));
  env.insert(QStringLiteral("LSAN_OPTIONS"),
             QStringLiteral("suppressions=") + suppressions.fileName());
  // The engine refuses its sandbox to root, as a test machine may run.
  env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
  env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=BannerPageChild.") + QString::fromLatin1(Name)});
  ASSERT_TRUE(child.waitForStarted());
  const bool finished = child.waitForFinished(120000);
  const std::string output = child.readAll().toStdString();
  ASSERT_TRUE(finished) << output;
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
  EXPECT_EQ(child.exitCode(), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

struct BannerPageChild : ::testing::Test {
  TFakePlatform Platform;
  TFakeShell Shell;
  TTinyServer Server;
  std::unique_ptr<TMaster> M;

  void SetUp() override {
    if (!qEnvironmentVariableIsSet(ChildVariable)) GTEST_SKIP() << "run by BannerPage";
    ASSERT_TRUE(Server.Listen());
  }
  void Open() {
    M = std::make_unique<TMaster>(Platform, Platform,
                                  TBannerServices{nullptr, &Shell, Server.Site()});
    M->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(M.get()));
    M->Timer1->setInterval(100);
    M->Timer1->start();
  }
};

TEST_F(BannerPageChild, PageFromTheSiteReplacesThePicture) {
  Open();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Server.BannerRequests() > 0; }, 10000))
      << "the first tick asks for the page";
  const QSize screen = QGuiApplication::primaryScreen()->size();
  const std::string expected = "/baner.php?c=USA&s=" + std::to_string(screen.width()) + "x" +
                               std::to_string(screen.height()) +
                               "&w=" + std::to_string(M->GetOsVersionCode()) + "&v=3";
  EXPECT_EQ(Server.Targets.at(0), expected);
  EXPECT_TRUE(M->PanelWeb->isVisible());

  ASSERT_TRUE(QTest::qWaitFor([&] { return M->LWWW2->isVisible(); }, 30000))
      << "the page completes";
  EXPECT_FALSE(M->PBaner->isVisible());
  EXPECT_TRUE(M->PanelWeb->isVisible());
  QWidget* browser = M->Banner->WebBrowser();
  ASSERT_TRUE(browser);
  EXPECT_EQ(browser->parentWidget(), M->PanelWeb);
  EXPECT_EQ(browser->geometry(), M->PanelWeb->rect()) << "the browser fills its panel";
  EXPECT_TRUE(browser->isVisible());

  QTest::qWait(500); // more ticks: nothing more is asked for
  EXPECT_EQ(Server.BannerRequests(), 1);
  QTest::mouseClick(M->LWWW2, Qt::LeftButton);
  EXPECT_EQ(Shell.Opened, std::vector<std::string>{"http://" + Server.Site() + "?pr=kxr"});
}

TEST_F(BannerPageChild, PageThatDoesNotLoadLeavesThePicture) {
  Server.HangUp = true;
  Open();
  ASSERT_TRUE(QTest::qWaitFor([&] { return M->Banner->WebBrowser() != nullptr; }, 10000));
  bool completed = false;
  QObject::connect(M->Banner, &TBannerStrip::DocumentCompleted, [&] { completed = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return completed; }, 30000));
  EXPECT_GE(Server.BannerRequests(), 1);
  EXPECT_TRUE(M->PBaner->isVisible());
  EXPECT_FALSE(M->LWWW2->isVisible());
}

TEST(BannerPage, PageFromALocalServerReplacesThePicture) {
  if (!BannerPagesShown()) GTEST_SKIP() << "built without QtWebEngine";
  RunChild("PageFromTheSiteReplacesThePicture");
}

TEST(BannerPage, PageThatDoesNotLoadLeavesThePicture) {
  if (!BannerPagesShown()) GTEST_SKIP() << "built without QtWebEngine";
  RunChild("PageThatDoesNotLoadLeavesThePicture");
}

TEST(BannerPage, WithoutAWebEngineNothingIsAskedOfALiveServer) {
  if (BannerPagesShown()) GTEST_SKIP() << "built with QtWebEngine";
  TFakePlatform platform;
  TFakeShell shell;
  TTinyServer server;
  ASSERT_TRUE(server.Listen());
  TMaster m(platform, platform, TBannerServices{nullptr, &shell, server.Site()});
  m.show();
  m.Timer1->setInterval(100);
  m.Timer1->start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m.Banner->Core().BannerRequested(); }, 5000));
  QTest::qWait(500);
  EXPECT_TRUE(server.Targets.empty());
  EXPECT_TRUE(m.PBaner->isVisible());
  EXPECT_FALSE(m.PanelWeb->isVisible());
}

} // namespace
