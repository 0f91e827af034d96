// What a save does to the files already on disk, seen from the shell.
#include "Inspected.h"

#include <algorithm>
#include <thread>

#include <sys/stat.h>

using namespace clitest;

namespace {

// 250 bytes is a legal file name; saving over it must work as the first time did.
TEST(Save, AFileNameOfTwoHundredAndFiftyBytesIsSavedAndSavedAgain) {
  TTempDir dir;
  const std::string solid = std::string(246, 's') + ".gif";
  const std::string mask = std::string(244, 'l') + "%t.gif"; // "Hi" makes it 250
  const std::string line = std::string(244, 'l') + "Hi.gif";
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const TRun r = RunCli({"render", "--text", "Hi", "--out", (dir / solid).string(), "--lines",
                           (dir / "lines").string(), "--mask", mask});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_TRUE(ReadFile(dir / solid).starts_with("GIF8"));
    EXPECT_TRUE(ReadFile(dir / "lines" / line).starts_with("GIF8"));
    EXPECT_EQ(Names(dir / "lines"), std::set<std::string>{line}) << "no temporary left";
  }
}

TEST(Save, ALinkedOutputStaysALinkAndItsFileGetsTheImage) {
  TTempDir dir;
  fs::create_directory(dir / "site");
  WriteFile(dir / "site" / "logo.gif", "old");
  fs::create_symlink("site/logo.gif", dir / "logo.gif");
  const TRun r = RunCli({"render", "--text", "X", "--out", (dir / "logo.gif").string()});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_TRUE(fs::is_symlink(dir / "logo.gif"));
  EXPECT_TRUE(ReadFile(dir / "site" / "logo.gif").starts_with("GIF8"));
  EXPECT_EQ(Names(dir / "site"), std::set<std::string>{"logo.gif"});
}

TEST(Save, AReadOnlyOutputIsRefusedAndKept) {
  TTempDir dir;
  WriteFile(dir / "locked.gif", "precious");
  fs::permissions(dir / "locked.gif", fs::perms::owner_read | fs::perms::group_read);
  const TRun r = RunCli({"render", "--text", "X", "--out", (dir / "locked.gif").string()});
  EXPECT_EQ(r.Exit, 2);
  ExpectOneErrorLine(r);
  EXPECT_NE(r.Err.find("locked.gif"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Permission denied"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadFile(dir / "locked.gif"), "precious");
  EXPECT_EQ(dir.Names(), std::set<std::string>{"locked.gif"});
}

TEST(Save, APipeOutputGetsTheImageAsAFileWould) {
  TTempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(dir / "pipe.gif"); });
  const TRun r = RunCli({"render", "--text", "Pipe", "--out", (dir / "pipe.gif").string()});
  reader.join();
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const TRun file = RunCli({"render", "--text", "Pipe", "--out", (dir / "file.gif").string()});
  ASSERT_EQ(file.Exit, 0) << file.Err;
  EXPECT_EQ(received, ReadFile(dir / "file.gif"));
  EXPECT_TRUE(fs::is_fifo(dir / "pipe.gif"));
}

} // namespace
