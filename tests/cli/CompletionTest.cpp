// The bash completion, sourced into a plain bash and asked as bash asks it
// when Tab is pressed: with the words of the line and the one being completed.
#include "CliRunner.h"

#include <cstdio>
#include <memory>

using namespace clitest;

namespace {

fs::path CompletionScript() {
  return fs::path(GLYPTIKA_TEST_DATA).parent_path().parent_path() / "resources" /
         "bash-completion" / "glyptika-cli";
}

std::string ShellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The candidates offered for the last of Words, the program typed as Program.
std::vector<std::string> Complete(const std::vector<std::string>& words,
                                  const std::string& program = CliPath().string(),
                                  const std::string& home = {}) {
  TTempDir dir;
  std::string script = (home.empty() ? "" : "HOME=" + ShellQuoted(home) + "\n") + "source " +
                       ShellQuoted(CompletionScript().string()) + "\nCOMP_WORDS=(" +
                       ShellQuoted(program);
  for (const std::string& w : words)
    script += " " + ShellQuoted(w);
  script += ")\nCOMP_CWORD=" + std::to_string(words.size()) +
            "\n_glyptika_cli\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
  WriteFile(dir / "complete.sh", script);
  const std::string command = "cd " + ShellQuoted(dir.Path().string()) + " && bash complete.sh";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
    out += buffer;
  std::vector<std::string> offered;
  for (const std::string& line : Lines(out))
    if (!line.empty()) offered.push_back(line);
  std::sort(offered.begin(), offered.end());
  return offered;
}

TEST(Completion, OffersCommandsOptionsFacesStylesAndChoices) {
  ASSERT_TRUE(fs::exists(CompletionScript())) << CompletionScript();
  using W = std::vector<std::string>;
  struct Case {
    const char* Name;
    W Words;
    W Offered;
  };
  const std::vector<Case> cases = {
      {"commands", {""}, {"--help", "--version", "fonts", "help", "inspect", "render"}},
      {"a command begun", {"ins"}, {"inspect"}},
      {"options of render", {"render", "--sha"}, {"--shadow", "--shadow-color=", "--shaping"}},
      {"short options lead to their long names", {"render", "--o"}, {"--out="}},
      {"options of inspect", {"inspect", "--"}, {"--help", "--indices", "--version"}},
      {"a flag takes no value",
       {"render", "--underline", "--no-"},
       {"--no-antialias", "--no-fallback"}},
      {"choices of a value", {"render", "--unit", ""}, {"pt", "px"}},
      {"choices after =", {"render", "--align", "=", "c"}, {"center"}},
      {"choices joined by =", {"render", "--fill=ca"}, {"calendar", "caps"}},
      {"faces", {"render", "--font", "Liberation S"}, {"Liberation\\ Sans", "Liberation\\ Serif"}},
      {"faces after -f", {"render", "-f", "DejaVu Sans M"}, {"DejaVu\\ Sans\\ Mono"}},
      {"faces of fonts", {"fonts", "Liberation M"}, {"Liberation\\ Mono"}},
      {"styles of the face given",
       {"render", "-f", "Liberation\\ Sans", "--style", ""},
       {"Bold", "Bold\\ Italic", "Italic", "Regular"}},
      {"styles of a quoted face",
       {"render", "--font", "\"Liberation Sans\"", "-t", "x", "--style", "B"},
       {"Bold", "Bold\\ Italic"}},
      {"styles of a face given with =",
       {"render", "--font=Liberation Sans", "--style", "=", "I"},
       {"Italic"}},
      {"no styles without a face", {"render", "--style", ""}, {}},
      {"nothing to offer for a text", {"render", "-t", ""}, {}},
      {"help topics", {"help", ""}, {"all", "fonts", "inspect", "render"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Complete(c.Words), c.Offered) << c.Name;
}

TEST(Completion, OffersEveryOptionTheHelpLists) {
  const TRun help = RunCli({"render", "--help"});
  ASSERT_EQ(help.Exit, 0);
  const std::vector<std::string> offered = Complete({"render", "--"});
  for (const char* option : {"--text=",     "--text-file=",    "--fill=",          "--font=",
                             "--style=",    "--size=",         "--unit=",          "--dpi=",
                             "--underline", "--no-antialias",  "--color=",         "--background=",
                             "--shadow",    "--shadow-color=", "--align=",         "--width=",
                             "--recolor=",  "--transparent",   "--out=",           "--lines=",
                             "--mask=",     "--html=",         "--script",         "--name=",
                             "--sizes",     "--alt",           "--help",           "--version",
                             "--shaping",   "--no-fallback",   "--keep-overhangs", "--format=",
                             "--scale="})
    EXPECT_NE(std::find(offered.begin(), offered.end(), option), offered.end()) << option;
  EXPECT_NE(std::find(offered.begin(), offered.end(), "--clip-to-cells"), offered.end());
  EXPECT_EQ(offered.size(), 34u);
}

TEST(Completion, FilesForFileValuesAndImagesForInspect) {
  TTempDir dir;
  WriteFile(dir / "a.gif", "x");
  WriteFile(dir / "c.PNG", "x");
  WriteFile(dir / "b.txt", "x");
  fs::create_directory(dir / "sub");
  // Completion runs in its own folder: these are asked with full paths.
  const std::string base = dir.Path().string() + "/";
  EXPECT_EQ(Complete({"inspect", base}),
            (std::vector<std::string>{base + "a.gif", base + "c.PNG", base + "sub"}));
  EXPECT_EQ(Complete({"render", "--text-file", base + "b"}),
            std::vector<std::string>{base + "b.txt"});
  EXPECT_EQ(Complete({"render", "--lines", base}), std::vector<std::string>{base + "sub"});
}

// Typed as ~/bin/glyptika-cli, the program is still found: bash leaves the
// tilde in the word it hands over.
TEST(Completion, FindsTheProgramTypedFromTheHomeFolder) {
  TTempDir home;
  fs::create_directory(home / "bin");
  fs::create_symlink(CliPath(), home / "bin" / "glyptika-cli");
  EXPECT_EQ(Complete({"render", "--unit", ""}, "~/bin/glyptika-cli", home.Path().string()),
            (std::vector<std::string>{"pt", "px"}));
}

} // namespace
