// The command line by a shell user's habits: short options, "--", values that
// start with a dash, colour names, folders made for the outputs, names that sort.
#include "CliRunner.h"

#include <algorithm>
#include <set>

using namespace clitest;

namespace {

// The GIF a render writes to standard output.
std::string Gif(std::vector<std::string> args, const fs::path& dir = fs::temp_directory_path()) {
  args.insert(args.begin(), "render");
  args.insert(args.end(), {"--out", "-"});
  const TRun r = RunCli(args, {}, dir);
  EXPECT_EQ(r.Exit, 0) << Describe(args, r);
  EXPECT_TRUE(r.Out.starts_with("GIF8")) << Describe(args, r);
  return r.Out;
}

TEST(Conventions, EachSpellingOfTheSameRequestWritesTheSameFile) {
  TTempDir dir;
  WriteFile(dir / "dash-h.txt", "-h\n");
  WriteFile(dir / "dash-dash.txt", "--\n");
  struct Case {
    const char* Name;
    std::vector<std::string> Args, Same;
  };
  const std::vector<Case> cases = {
      {"short options",
       {"-t", "Hi", "-f", "DejaVu Serif", "-s", "40"},
       {"--text", "Hi", "--font", "DejaVu Serif", "--size", "40"}},
      {"values joined", {"-tHi", "-s40"}, {"--text=Hi", "--size=40"}},
      {"a text that looks like an option", {"--text", "-h"}, {"--text-file", "dash-h.txt"}},
      {"a short text that looks like an option", {"-t", "-h"}, {"--text-file", "dash-h.txt"}},
      {"a text that is the end of options", {"--text", "--"}, {"--text-file", "dash-dash.txt"}},
      {"a colour name", {"-t", "C", "--color", "red"}, {"-t", "C", "--color", "#FF0000"}},
      {"a colour name in capitals",
       {"-t", "C", "--color", "Navy"},
       {"-t", "C", "--color", "#000080"}},
      {"three hex digits", {"-t", "C", "--background=#f80"}, {"-t", "C", "--background=#FF8800"}},
      {"recolour by name",
       {"-t", "C", "--no-antialias", "--recolor", "white=lime"},
       {"-t", "C", "--no-antialias", "--recolor", "#FFFFFF=#00FF00"}},
      {"a shortened option", {"-t", "C", "--backg=navy"}, {"-t", "C", "--background=#000080"}},
      {"options after the last text", {"-t", "A", "--underline"}, {"--underline", "-t", "A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Gif(c.Args, dir.Path()), Gif(c.Same, dir.Path()));
  }
  // And a colour that differs is seen to differ: the comparison above can fail.
  EXPECT_NE(Gif({"-t", "C", "--color", "red"}), Gif({"-t", "C", "--color", "maroon"}));
}

TEST(Conventions, DashDashLetsAnOperandStartWithADash) {
  TTempDir dir;
  // An --out value may start with a dash, as any value may.
  const TRun made = RunCli({"render", "--text", "Hi", "--out", "-dash.gif"}, {}, dir.Path());
  ASSERT_EQ(made.Exit, 0) << made.Err;
  ASSERT_TRUE(fs::exists(dir / "-dash.gif"));

  const TRun read = RunCli({"inspect", "--", "-dash.gif"}, {}, dir.Path());
  EXPECT_EQ(read.Exit, 0) << read.Err;
  EXPECT_NE(read.Out.find("GIF8"), std::string::npos) << read.Out;
  const TRun indices = RunCli({"inspect", "--indices", "--", "-dash.gif"}, {}, dir.Path());
  EXPECT_EQ(indices.Exit, 0) << indices.Err;
  EXPECT_GT(indices.Out.size(), read.Out.size()) << "the rows follow the headers";

  const TRun withoutDashDash = RunCli({"inspect", "-dash.gif"}, {}, dir.Path());
  EXPECT_EQ(withoutDashDash.Exit, 2);
  EXPECT_NE(withoutDashDash.Err.find("unknown option \"-d\""), std::string::npos)
      << withoutDashDash.Err;

  const TRun styles = RunCli({"fonts", "--", "Liberation Sans"});
  EXPECT_EQ(styles.Exit, 0) << styles.Err;
  EXPECT_EQ(styles.Out, "Regular\nItalic\nBold\nBold Italic\n");
}

TEST(Conventions, OutputsMakeTheFoldersTheyAreIn) {
  TTempDir dir;
  const TRun r = RunCli({"render", "--text", "Ab", "--out", "new/deeper/hi.gif", "--html",
                         "chars/page.html", "--lines", "lines/per-line"},
                        {}, dir.Path());
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_TRUE(ReadFile(dir / "new" / "deeper" / "hi.gif").starts_with("GIF8"));
  EXPECT_NE(ReadFile(dir / "chars" / "page.html").find("img_char/65.gif"), std::string::npos);
  EXPECT_TRUE(ReadFile(dir / "chars" / "img_char" / "98.gif").starts_with("GIF8"));
  EXPECT_TRUE(ReadFile(dir / "lines" / "per-line" / "Ab.gif").starts_with("GIF8"));

  // A name the run cannot use is refused before any folder is made.
  TTempDir other;
  const TRun png = RunCli({"render", "--text", "Ab", "--out", "new/hi.jpg"}, {}, other.Path());
  EXPECT_EQ(png.Exit, 2);
  EXPECT_TRUE(fs::is_empty(other.Path())) << "nothing made for a refused name";
}

// Each output in the format its name or --format asks for, with its 2x or 3x
// image beside it; the page offers the larger images by srcset.
TEST(Conventions, FormatAndScaleNameEveryFile) {
  struct Case {
    std::vector<std::string> Args;
    std::set<std::string> Files;
  };
  const Case cases[] = {
      {{"--out", "h.png", "--scale", "2"}, {"h.png", "h@2x.png"}},
      {{"--out", "h", "--scale", "2"}, {"h.gif", "h@2x.gif"}},
      {{"--lines", "l", "--mask", "%t.png", "--scale", "3"}, {"l/Hi.png", "l/Hi@3x.png"}},
      {{"--html", "p.html", "--format", "png", "--scale", "2"},
       {"p.html", "img_char/72.png", "img_char/72@2x.png", "img_char/105.png",
        "img_char/105@2x.png"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"render", "--text", "Hi"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(args.back());
    TTempDir dir;
    const TRun r = RunCli(args, {}, dir.Path());
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(dir.Files(), c.Files);
    for (const std::string& file : c.Files) {
      const std::string bytes = ReadFile(dir / file);
      const std::string want = file.ends_with(".png")   ? "\x89PNG"
                               : file.ends_with(".gif") ? "GIF8"
                                                        : "src=\"img_char/72.png\" "
                                                          "srcset=\"img_char/72@2x.png 2x\"";
      EXPECT_NE(bytes.find(want), std::string::npos) << file;
    }
  }
}

// A 2x rendering past the pixel limit is refused before any file of the save.
TEST(Conventions, ALargerImagePastTheLimitIsRefusedWritingNothing) {
  for (std::vector<std::string> output : {std::vector<std::string>{"--out", "x.png"},
                                          {"--lines", ".", "--mask", "%t.png"},
                                          {"--html", "x.html", "--format", "png"}}) {
    SCOPED_TRACE(output[0]);
    TTempDir dir;
    std::vector<std::string> args = {"render",  "--text", "W",       "--size", "500",
                                     "--width", "17000",  "--scale", "2"};
    args.insert(args.end(), output.begin(), output.end());
    const TRun r = RunCli(args, {}, dir.Path());
    EXPECT_EQ(r.Exit, 2);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find("at 2x, the rendering is too large"), std::string::npos) << r.Err;
    EXPECT_EQ(Files(dir.Path()), std::set<std::string>{});
  }
}

TEST(Conventions, OutIsWrittenInTheFormatItsNameEndsIn) {
  TTempDir dir;
  struct Case {
    const char* Out;
    const char* Written; // empty: refused
    const char* Signature = "GIF8";
  };
  const Case cases[] = {
      {"hi.gif", "hi.gif"},
      {"LOUD.GIF", "LOUD.GIF"},
      {"plain", "plain.gif"},
      {"x.png.gif", "x.png.gif"},
      {"x.gif.PNG", "x.gif.PNG", "\x89PNG"},
      {"v1.2", ""},
      {"photo.jpg", ""},
      {".hidden", ".hidden.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Out);
    const TRun r = RunCli({"render", "--text", "X", "--out", c.Out}, {}, dir.Path());
    if (*c.Written) {
      EXPECT_EQ(r.Exit, 0) << r.Err;
      EXPECT_TRUE(ReadFile(dir / c.Written).starts_with(c.Signature));
    } else {
      EXPECT_EQ(r.Exit, 2);
      ExpectOneErrorLine(r);
      EXPECT_NE(r.Err.find("must end in .gif or .png"), std::string::npos) << r.Err;
      EXPECT_FALSE(fs::exists(dir / c.Out));
    }
  }
}

TEST(Conventions, MaskNamesSortAndMakeWebNames) {
  TTempDir dir;
  std::string twelve;
  for (int i = 1; i <= 12; ++i)
    twelve += "Line " + std::to_string(i) + "\n";
  WriteFile(dir / "twelve.txt", twelve);
  const TRun padded = RunCli({"render", "--text-file", "twelve.txt", "--size", "10", "--lines",
                              "padded", "--mask", "item%02n.gif"},
                             {}, dir.Path());
  ASSERT_EQ(padded.Exit, 0) << padded.Err;
  std::set<std::string> want;
  for (int i = 1; i <= 12; ++i)
    want.insert((i < 10 ? "item0" : "item") + std::to_string(i) + ".gif");
  EXPECT_EQ(Names(dir / "padded"), want);

  const TRun web = RunCli({"render", "-t", "FAQ / Help", "-t", "Caf\xC3\xA9 Cr\xC3\xA8me", "-t",
                           "???", "-t", "x", "--lines", "web", "--mask", "%s.gif"},
                          {}, dir.Path());
  ASSERT_EQ(web.Exit, 0) << web.Err;
  EXPECT_EQ(Names(dir / "web"),
            (std::set<std::string>{"faq-help.gif", "cafe-creme.gif", "line-3.gif", "x.gif"}));
}

TEST(Conventions, ARefusedLineNameSaysWhyAndTheOthersAreSaved) {
  TTempDir dir;
  struct Case {
    const char* Name;
    std::string Text;
    const char* Mask;
    const char* Says;
  };
  const std::vector<Case> cases = {
      {"slash", "a/b", "%t.gif", "a/b.gif: not written: the text holds \"/\""},
      {"too long", std::string(300, 'w'), "%t.gif",
       "the name is too long (304 bytes; at most 255)"},
      {"folder the mask names is missing", "x", "sub/%t.gif", "sub\" does not exist"},
      {"a line that draws nothing", "\xE2\x80\x8B", "%t.gif",
       "not written: the line draws nothing, so it has no image"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path out = dir / c.Name;
    const TRun r = RunCli({"render", "-t", c.Text, "-t", "kept", "--lines", out.string(), "--mask",
                           c.Mask, "--width", "string"});
    EXPECT_EQ(r.Exit, 2);
    const std::vector<std::string> lines = Lines(r.Err);
    ASSERT_GE(lines.size(), 2u) << r.Err;
    EXPECT_NE(lines[0].find(c.Says), std::string::npos) << r.Err;
    EXPECT_NE(lines.back().find("some files were not written"), std::string::npos) << r.Err;
    for (const std::string& line : lines)
      EXPECT_EQ(line.find('['), std::string::npos) << "no dialog's brackets: " << line;
  }
  EXPECT_TRUE(fs::exists(dir / "slash" / "kept.gif"));
  EXPECT_TRUE(fs::exists(dir / "too long" / "kept.gif"));
}

} // namespace
