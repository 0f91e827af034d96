// Inputs and folders a careless or hostile user hands glyptika-cli: whatever
// they hold, the run is bounded, says what went wrong on one line, and leaves
// no file where it should not be.
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <future>
#include <set>
#include <thread>

#include <sys/stat.h>

using namespace clitest;

namespace {

TEST(HostileInput, ATextFileWithoutEndOrPastTheLimitIsRefusedUnread) {
  TTempDir dir;
  // One byte past the limit: generated, never stored.
  WriteFile(dir / "big.txt", std::string((std::size_t(1) << 20) + 1, 'a'));
  for (const std::string& text : {std::string("/dev/zero"), (dir / "big.txt").string()}) {
    const std::vector<std::string> args = {"render", "--text-file", text, "--out",
                                           (dir / "x.gif").string()};
    const TRun r = RunCli(args);
    EXPECT_EQ(r.Exit, 2) << Describe(args, r);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find("holds more than 1024 KiB"), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(dir / "x.gif"));
  }
}

TEST(HostileInput, AnOutputThatNamesAFolderIsRefused) {
  TTempDir dir;
  fs::create_directory(dir / "site");
  const std::vector<std::vector<std::string>> outputs = {
      {"--out", "site"}, {"--out", "site/"}, {"--out", "."},      {"--out", ".."},
      {"--out", "new/"}, {"--html", "site"}, {"--html", "site/"}, {"--html", "."},
  };
  for (const auto& output : outputs) {
    std::vector<std::string> args = {"render", "--text", "Hi"};
    args.insert(args.end(), output.begin(), output.end());
    const TRun r = RunCli(args, {}, dir.Path());
    EXPECT_EQ(r.Exit, 2) << Describe(args, r);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find("names a folder"), std::string::npos) << r.Err;
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"site"}) << Describe(args, r);
  }
}

TEST(HostileInput, APageWhoseImageFolderCannotBeUsedIsNotWrittenAndTheOldOneStays) {
  struct Case {
    const char* name;
    void (*plant)(const fs::path& imgChar);
  };
  const Case cases[] = {
      {"a file", [](const fs::path& p) { WriteFile(p, "not a folder"); }},
      {"a dangling link", [](const fs::path& p) { fs::create_symlink("nowhere", p); }},
      {"a link to a file",
       [](const fs::path& p) {
         WriteFile(p.parent_path() / "target", "x");
         fs::create_symlink("target", p);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTempDir dir;
    WriteFile(dir / "page.html", "the old page");
    c.plant(dir / "img_char");
    const std::set<std::string> before = Names(dir.Path());
    const std::vector<std::string> args = {"render", "--text", "Hi", "--html",
                                           (dir / "page.html").string()};
    const TRun r = RunCli(args);
    EXPECT_EQ(r.Exit, 2) << Describe(args, r);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find("img_char"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(dir / "page.html"), "the old page");
    EXPECT_EQ(Names(dir.Path()), before);
  }
}

TEST(HostileInput, ARenderingTooLargeIsRefusedAfterMeasuringOnly) {
  TTempDir dir;
  std::string tall;
  for (int i = 0; i < 800; ++i)
    tall += "W\n";
  WriteFile(dir / "tall.txt", tall);
  std::string wide;
  for (int i = 0; i < 40; ++i)
    wide += std::string(40, 'W') + "\n";
  WriteFile(dir / "wide.txt", wide);
  struct Case {
    const char* text;
    const char* output;
    const char* says;
  };
  const Case cases[] = {
      // Higher than any GIF: the solid image cannot be made at all.
      {"tall.txt", "--out", "at most 65535 pixels"},
      // Each line would fit a GIF, but the surface would be gigabytes.
      {"tall.txt", "--lines", "pixels a rendering may have"},
      {"wide.txt", "--lines", "pixels a rendering may have"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> args = {
        "render", "--text-file", (dir / c.text).string(), "--size",
        "1000",   c.output,      (dir / "out").string()};
    const TRun r = RunCli(args);
    EXPECT_EQ(r.Exit, 2) << Describe(args, r);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find(c.says), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(dir / "out"));
  }
}

TEST(HostileInput, ControlCharactersReachTheTerminalEscapedOnOneLine) {
  TTempDir dir;
  WriteFile(dir / "nul.txt", std::string("a\0b\n", 4));
  struct Case {
    std::vector<std::string> args;
    const char* escaped;
  };
  const Case cases[] = {
      {{"render", "--font", "Bad\nFace\x01\x1b[31m", "--text", "x", "--out", "-"},
       "Bad\\nFace\\x01\\x1B[31m"},
      {{"fonts", "Tab\tFace\r"}, "Tab\\tFace\\r"},
      {{"render", "--text-file", (dir / "nul.txt").string(), "--lines", (dir / "out").string()},
       "a\\x00b.gif"},
  };
  for (const Case& c : cases) {
    const TRun r = RunCli(c.args);
    EXPECT_EQ(r.Exit, 2) << Describe(c.args, r);
    // A refused name is followed by the run's summary: each message its own line.
    for (const std::string& line : Lines(r.Err))
      EXPECT_TRUE(line.starts_with("glyptika-cli: ")) << r.Err;
    EXPECT_NE(r.Err.find(c.escaped), std::string::npos) << r.Err;
    EXPECT_EQ(std::count_if(r.Err.begin(), r.Err.end(),
                            [](char ch) { return (unsigned char)ch < 0x20 && ch != '\n'; }),
              0)
        << r.Err;
  }
}

TEST(HostileInput, ManyRecolourPairsApplyInOrderLikeOneEditAfterAnother) {
  // Black becomes red, that red becomes blue, and so on: 2000 pairs in all.
  std::vector<std::string> args = {"render", "--text", "Hi", "--out", "-"};
  const char* colours[] = {"#000000", "#FF0000", "#0000FF"};
  for (int i = 0; i < 2000; ++i)
    args.push_back(std::string("--recolor=") + colours[i % 3] + "=" + colours[(i + 1) % 3]);
  const TRun many = RunCli(args);
  ASSERT_EQ(many.Exit, 0) << many.Err;
  // 2000 steps round a cycle of three end two steps on: black is now blue.
  const TRun once = RunCli({"render", "--text", "Hi", "--out", "-", "--recolor=#000000=#0000FF"});
  ASSERT_EQ(once.Exit, 0) << once.Err;
  EXPECT_EQ(many.Out, once.Out);
}

// Spawns glyptika-cli without waiting for it.
pid_t Start(const std::vector<std::string>& args, const fs::path& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string exe = CliPath().string();
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Every file under a name a user would see holds an image, however the run ended.
void ExpectNoEmptyFinalFile(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(".")) continue; // a writer's temporary, never a final name
    EXPECT_TRUE(ReadFile(e.path()).starts_with("GIF89a") ||
                ReadFile(e.path()).starts_with("GIF87a"))
        << name << " is " << fs::file_size(e.path()) << " bytes";
  }
}

std::string ManyLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i)
    text += "line " + std::to_string(i) + "\n";
  return text;
}

TEST(HostileInput, APerLineSaveEndedBySigtermLeavesNoEmptyFileUnderAFinalName) {
  TTempDir dir;
  WriteFile(dir / "text.txt", ManyLines(3000));
  const fs::path out = dir / "out";
  const pid_t pid = Start({"render", "--text-file", (dir / "text.txt").string(), "--size", "12",
                           "--lines", out.string(), "--mask", "%n.gif"},
                          dir / "err");
  ASSERT_GT(pid, 0);
  // Ended in the middle of the files, once some are written.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  std::size_t seen = 0;
  while (seen < 40 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::error_code ec;
    seen = 0;
    for (auto it = fs::directory_iterator(out, ec); !ec && it != fs::directory_iterator(); ++it)
      ++seen;
  }
  ::kill(pid, SIGTERM);
  const int exit = Wait(pid);
  ASSERT_GE(seen, 40u) << "the save never began";
  EXPECT_EQ(exit, 128 + SIGTERM) << "the save ended before it could be interrupted";
  ExpectNoEmptyFinalFile(out);
}

TEST(HostileInput, TwoWritersIntoOneFolderBothSucceedAndEveryFileIsAnImage) {
  TTempDir dir;
  WriteFile(dir / "text.txt", ManyLines(150));
  const std::vector<std::string> args = {
      "render", "--text-file", (dir / "text.txt").string(), "--lines", (dir / "out").string(),
      "--mask", "%n.gif"};
  const pid_t first = Start(args, dir / "err1");
  const pid_t second = Start(args, dir / "err2");
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  EXPECT_EQ(Wait(first), 0) << ReadFile(dir / "err1");
  EXPECT_EQ(Wait(second), 0) << ReadFile(dir / "err2");
  EXPECT_EQ(Names(dir / "out").size(), 150u);
  ExpectNoEmptyFinalFile(dir / "out");
}

} // namespace
