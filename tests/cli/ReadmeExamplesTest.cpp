// The examples a new user copies first: those of the README and of the help,
// run by bash one after the other in a fresh folder, as typed.
#include "CliRunner.h"

#include <cstdlib>
#include <set>

using namespace clitest;

namespace {

fs::path SourceDir() {
  return fs::path(GLYPTIKA_TEST_DATA).parent_path().parent_path();
}

// The commands of the indented lines after Begin, up to the next section
// ("## ") or, for a heading of the help, the next line that is not indented;
// lines continued by "\" joined.
std::vector<std::string> ShellLines(const std::string& text, const std::string& begin) {
  std::vector<std::string> commands;
  bool inside = false;
  std::string pending;
  for (const std::string& line : Lines(text)) {
    if (line == begin && !inside) {
      inside = true;
      continue;
    }
    // A block of the help ends at the next heading, one of the README at the next section.
    if (inside && (line.starts_with("## ") ||
                   (begin.ends_with(":") && !line.empty() && !line.starts_with(" "))))
      break;
    if (!inside || !line.starts_with("  ")) continue;
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    const std::string body = line.substr(first);
    if (pending.empty() && body.find("glyptika-cli") == std::string::npos &&
        !body.starts_with("printf"))
      continue; // a table of options, not a command
    pending += body;
    if (pending.ends_with("\\")) {
      pending.pop_back();
      continue;
    }
    commands.push_back(pending);
    pending.clear();
  }
  return commands;
}

struct TShell {
  int Exit = -1;
  std::string Out, Err;
};

TShell Bash(const std::string& command, const fs::path& dir, const fs::path& io) {
  WriteFile(io / "command.sh", "set -o pipefail\n" + command + "\n");
  const std::string path = CliPath().parent_path().string() + ":" + std::getenv("PATH");
  const std::string line = "cd '" + dir.string() + "' && PATH='" + path + "' bash '" +
                           (io / "command.sh").string() + "' >'" + (io / "out").string() + "' 2>'" +
                           (io / "err").string() + "'";
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(io / "out"), ReadFile(io / "err")};
}

void RunExamples(const std::vector<std::string>& commands, std::size_t atLeast) {
  ASSERT_GE(commands.size(), atLeast) << "the examples were not found";
  TTempDir dir, io;
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const std::set<std::string> before = dir.Files();
    const TShell r = Bash(command, dir.Path(), io.Path());
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const std::set<std::string> after = dir.Files();
    if (command.find("glyptika-cli render") != std::string::npos) {
      EXPECT_GT(after.size(), before.size()) << "a render makes its files";
      for (const std::string& name : after) {
        if (!before.count(name) && name.ends_with(".gif")) {
          EXPECT_TRUE(ReadFile(dir / name).starts_with("GIF8")) << name;
        }
      }
    } else if (command.starts_with("glyptika-cli")) {
      EXPECT_NE(r.Out, "") << "a command that makes no file prints something";
    }
  }
}

TEST(Examples, EveryReadmeExampleRunsInAFreshFolder) {
  const std::vector<std::string> commands =
      ShellLines(ReadFile(SourceDir() / "README.md"), "## The command line: glyptika-cli");
  RunExamples(commands, 10);
  // What the examples promise in their comments and text.
  TTempDir dir, io;
  for (const std::string& command : commands)
    Bash(command, dir.Path(), io.Path());
  for (const char* made :
       {"hello.gif", "banners/banner.gif", "menu/item01-home.gif", "menu/item02-faq-help.gif",
        "menu/item03-contact.gif", "chars/page.html", "chars/img_char/65.gif", "two-lines.gif"})
    EXPECT_TRUE(fs::exists(dir / made)) << made;
}

// Each command's examples in a folder of their own.
TEST(Examples, EveryHelpExampleRunsInAFreshFolder) {
  const TRun help = RunCli({"help", "all"});
  ASSERT_EQ(help.Exit, 0);
  int blocks = 0;
  for (std::size_t at = help.Out.find("\nExamples:\n"); at != std::string::npos;
       at = help.Out.find("\nExamples:\n", at + 1), ++blocks)
    RunExamples(ShellLines(help.Out.substr(at + 1), "Examples:"), 3);
  EXPECT_EQ(blocks, 2) << "the overview's and render's";
}

} // namespace
