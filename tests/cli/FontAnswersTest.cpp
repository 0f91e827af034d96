// glyptika-cli keeps fontconfig's answers between runs. Whatever they were
// drawn from changes, the next run must see the change: a kept answer may
// make a run faster, never different.
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/stat.h>

namespace {

using namespace clitest;

constexpr const char* FontFolder = "/usr/share/fonts/truetype/dejavu/";

class TEnv {
public:
  TEnv(const char* name, const std::string& value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    setenv(name, value.c_str(), 1);
  }
  ~TEnv() {
    if (FOld)
      setenv(FName, FOld->c_str(), 1);
    else
      unsetenv(FName);
  }
  TEnv(const TEnv&) = delete;
  TEnv& operator=(const TEnv&) = delete;

private:
  const char* FName;
  std::optional<std::string> FOld;
};

// A font world of its own: one folder of fonts and a configuration naming it,
// both older than the run, as an installed system is.
class FontAnswers : public testing::Test {
protected:
  FontAnswers()
      : FConfigEnv("FONTCONFIG_FILE", (FWorld / "fonts.conf").string()),
        FCacheEnv("XDG_CACHE_HOME", (FCache / "xdg").string()),
        FAnswersEnv("GLYPTIKA_FONT_ANSWERS", "on") {
    fs::create_directory(FWorld / "fonts");
    fs::copy_file(std::string(FontFolder) + "DejaVuSans.ttf", FWorld / "fonts" / "a.ttf");
    WriteConfig("DejaVu Sans");
    Age(FWorld / "fonts");
    Age(FWorld.Path());
  }

  void WriteConfig(const std::string& sansSerif) {
    WriteFile(FWorld / "fonts.conf",
              "<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>" + (FWorld / "fonts").string() +
                  "</dir>\n<cachedir>" + (FCache / "fc").string() +
                  "</cachedir>\n<alias binding=\"same\"><family>sans-serif</family><prefer>"
                  "<family>" +
                  sansSerif + "</family></prefer></alias>\n</fontconfig>\n");
    Age(FWorld / "fonts.conf");
  }

  // Two minutes old: a change within the second of a run is not trusted.
  static void Age(const fs::path& p) {
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(2));
  }

  std::vector<std::string> Faces() {
    const TRun r = RunCli({"fonts"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    return Lines(r.Out);
  }

  // The face fontconfig draws for one that is not installed, as named in the error.
  std::string Substitute() {
    const TRun r = RunCli({"render", "--font", "No Such Face", "--text", "x", "--out", "-"});
    EXPECT_EQ(r.Exit, 2);
    const std::string lead = "the closest installed face is \"";
    const std::size_t at = r.Err.find(lead);
    if (at == std::string::npos) return r.Err;
    return r.Err.substr(at + lead.size(), r.Err.find('"', at + lead.size()) - at - lead.size());
  }

  std::vector<fs::path> AnswerFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(FCache / "xdg" / "glyptika", ec))
      files.push_back(entry.path());
    return files;
  }

  TTempDir FWorld, FCache;
  TEnv FConfigEnv, FCacheEnv, FAnswersEnv;
};

TEST_F(FontAnswers, AreKeptAndAnswerAsFontconfigDoes) {
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"});
  ASSERT_EQ(AnswerFiles().size(), 1u) << "the first run keeps what fontconfig answered";
  EXPECT_NE(ReadFile(AnswerFiles()[0]).find("\nanswer\tfaces\n"), std::string::npos);
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"});

  const std::vector<std::string> render = {"render", "--text", "Kept", "--out"};
  auto args = render;
  args.push_back((FCache / "kept.gif").string());
  ASSERT_EQ(RunCli(args).Exit, 0);
  ASSERT_EQ(RunCli(args).Exit, 0);
  {
    TEnv off("GLYPTIKA_FONT_ANSWERS", "off");
    args.back() = (FCache / "asked.gif").string();
    ASSERT_EQ(RunCli(args).Exit, 0);
  }
  EXPECT_EQ(ReadFile(FCache / "kept.gif"), ReadFile(FCache / "asked.gif"));
}

TEST_F(FontAnswers, FontsAddedOrRemovedAreSeenAtOnce) {
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"});
  fs::copy_file(std::string(FontFolder) + "DejaVuSansMono.ttf", FWorld / "fonts" / "b.ttf");
  EXPECT_EQ(Faces(), (std::vector<std::string>{"DejaVu Sans", "DejaVu Sans Mono"}));
  Age(FWorld / "fonts");
  EXPECT_EQ(Faces(), (std::vector<std::string>{"DejaVu Sans", "DejaVu Sans Mono"}));
  fs::remove(FWorld / "fonts" / "a.ttf");
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans Mono"});

  // A font folder that did not exist when the answers were kept.
  const fs::path later = FCache / "later";
  WriteFile(FWorld / "fonts.conf", ReadFile(FWorld / "fonts.conf")
                                       .replace(ReadFile(FWorld / "fonts.conf").find("<cachedir>"),
                                                0, "<dir>" + later.string() + "</dir>\n"));
  Age(FWorld / "fonts.conf");
  Age(FWorld / "fonts");
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans Mono"});
  fs::create_directory(later);
  fs::copy_file(std::string(FontFolder) + "DejaVuSerif.ttf", later / "c.ttf");
  EXPECT_EQ(Faces(), (std::vector<std::string>{"DejaVu Sans Mono", "DejaVu Serif"}));
}

TEST_F(FontAnswers, AnEditedConfigurationIsSeenAtOnce) {
  fs::copy_file(std::string(FontFolder) + "DejaVuSansMono.ttf", FWorld / "fonts" / "b.ttf");
  Age(FWorld / "fonts");
  EXPECT_EQ(Substitute(), "DejaVu Sans");
  EXPECT_EQ(Substitute(), "DejaVu Sans");
  WriteConfig("DejaVu Sans Mono");
  EXPECT_EQ(Substitute(), "DejaVu Sans Mono");
  EXPECT_EQ(Substitute(), "DejaVu Sans Mono");
}

TEST_F(FontAnswers, ADamagedFileIsIgnoredAndReplaced) {
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"});
  ASSERT_EQ(AnswerFiles().size(), 1u);
  const fs::path file = AnswerFiles()[0];
  const std::string whole = ReadFile(file);
  struct Damage {
    const char* name;
    std::string bytes;
  };
  for (const Damage& d : {Damage{"cut short", whole.substr(0, whole.size() / 2)},
                          Damage{"empty", ""}, Damage{"not ours", "GIF89a\n"},
                          Damage{"a number spoilt",
                                 [&] {
                                   std::string s = whole;
                                   s.replace(s.find("\nwatch\t") + 7, 1, "x");
                                   return s;
                                 }()},
                          // Still well formed: only the checksum tells it from the real answer.
                          Damage{"two bytes of the face changed", [&] {
                                   std::string s = whole;
                                   const std::size_t at =
                                       s.find("\tDejaVu Sans\t", s.find("\nmember\t"));
                                   s[at + 8] = 'b';
                                   s[at + 11] = 'z';
                                   return s;
                                 }()}}) {
    WriteFile(file, d.bytes);
    EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"}) << d.name;
    EXPECT_EQ(ReadFile(file), whole) << d.name << ": the file is written anew";
  }
}

// A pipe at the file's name has no end to read to: the run must neither wait
// for a writer nor read it, and the answers replace it with a file.
TEST_F(FontAnswers, APipeAtTheFilesNameIsPassedOverAndReplaced) {
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"});
  ASSERT_EQ(AnswerFiles().size(), 1u);
  const fs::path file = AnswerFiles()[0];
  fs::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);

  // Should the run wait on the pipe, this ends it (with end of file) and the test fails.
  std::mutex lock;
  std::condition_variable done;
  bool finished = false, rescued = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> hold(lock);
    while (!done.wait_for(hold, std::chrono::seconds(60), [&] { return finished; })) {
      const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      rescued = true;
    }
  });
  const std::vector<std::string> faces = Faces();
  {
    std::lock_guard<std::mutex> hold(lock);
    finished = true;
  }
  done.notify_one();
  watchdog.join();
  EXPECT_FALSE(rescued) << "the run waited on the pipe";
  EXPECT_EQ(faces, std::vector<std::string>{"DejaVu Sans"});
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
  EXPECT_EQ(Faces(), std::vector<std::string>{"DejaVu Sans"});
}

} // namespace
