// `render` as a script uses it: what lands on disk, read back by `inspect` and by giflib.
#include "Inspected.h"

using namespace clitest;

namespace {

// Renders with Args into dir/name and gives back the run.
TRun Render(const TTempDir& dir, std::vector<std::string> args, const std::string& name = "out.gif",
            const std::string& input = {}) {
  args.insert(args.begin(), "render");
  args.push_back("--out");
  args.push_back((dir / name).string());
  return RunCli(args, input, dir.Path());
}

TInspected Inspect(const fs::path& file) {
  const TRun r = RunCli({"inspect", file.string(), "--indices"});
  EXPECT_EQ(r.Exit, 0) << r.Err;
  return ParseInspect(r.Out);
}

TEST(Render, WritesOneGifThatInspectAndGiflibReadAlike) {
  TTempDir dir;
  const TRun r = Render(dir, {"--text", "Hi", "--color", "#C00000", "--no-antialias"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Out + r.Err, "") << "a successful render is silent";
  const TInspected gif = Inspect(dir / "out.gif");
  ASSERT_EQ(gif.Images.size(), 1u);
  // The screen holds the image, so programs that trust it read the file right.
  const std::string size = gif.Images[0].Header.substr(gif.Images[0].Header.find("width "));
  EXPECT_TRUE(
      gif.Screen.starts_with(size.substr(0, size.find(", local")) + ", global color table yes"))
      << gif.Screen << " / " << gif.Images[0].Header;
  // Without anti-aliasing only the two colours appear, the top-left pixel's first.
  ASSERT_EQ(gif.Tables.size(), 1u);
  EXPECT_EQ(gif.Tables[0], (std::vector<std::string>{"#FFFFFF", "#C00000"}));

  struct Case {
    const char* Name;
    std::vector<std::string> Args;
    std::size_t Rows;
  };
  const std::vector<Case> cases = {
      {"two colours", {"--text", "Hi", "--color", "#C00000", "--no-antialias"}, 30},
      {"anti-aliased, centred, two lines",
       {"--text", "Glyptika", "--text", "GIF", "--align", "center"},
       60},
      {"shadow, underline, serif",
       {"--font", "DejaVu Serif", "--text", "Shade", "--shadow=4", "--underline"},
       34},
      {"all 224 characters, one per line", {"--fill", "all", "--size", "12"}, 224 * 12},
      {"user width, right",
       {"--text", "R", "--width", "90", "--align", "right", "--size", "40"},
       40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(Render(dir, c.Args).Exit, 0);
    const TInspected seen = Inspect(dir / "out.gif");
    const GiflibGif decoded = GiflibDecodeFile(dir / "out.gif");
    ASSERT_EQ(decoded.Error, "");
    ASSERT_EQ(decoded.Images.size(), 1u);
    ASSERT_EQ(seen.Images.size(), 1u);
    EXPECT_EQ(seen.Images[0].Rows.size(), c.Rows);
    EXPECT_EQ(seen.Indices(0), decoded.Images[0].Pixels) << "have inspect's rows, want giflib's";
  }
}

TEST(Render, TransparencyFollowsTheOptionInTheGraphicControl) {
  TTempDir dir;
  ASSERT_EQ(Render(dir, {"--text", "T"}, "solid.gif").Exit, 0);
  ASSERT_EQ(Render(dir, {"--text", "T", "--transparent"}, "clear.gif").Exit, 0);
  const auto control = [](const TInspected& g) {
    for (const std::string& e : g.Images.at(0).Extensions)
      if (e.starts_with("graphic control extension:")) return e;
    return std::string();
  };
  EXPECT_NE(control(Inspect(dir / "solid.gif")).find("transparent no"), std::string::npos);
  // The background (the bottom-left pixel, first listed) becomes transparent.
  EXPECT_NE(
      control(Inspect(dir / "clear.gif")).find("transparent yes, delay 0, transparent index 0"),
      std::string::npos)
      << control(Inspect(dir / "clear.gif"));
}

TEST(Render, RecolourGivesAListedColourANewValue) {
  TTempDir dir;
  const TRun r = Render(dir, {"--text", "Re", "--no-antialias", "--recolor", "#FFFFFF=#00FF00",
                              "--recolor=#000000=#0000FF"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const TInspected gif = Inspect(dir / "out.gif");
  EXPECT_EQ(gif.Tables.at(0).at(0), "#00FF00");
  EXPECT_EQ(gif.Tables.at(0).at(1), "#0000FF");

  // A colour the rendering does not use is an error, and nothing is written.
  const TRun bad = Render(dir, {"--text", "Re", "--recolor", "#123456=#000000"}, "bad.gif");
  EXPECT_EQ(bad.Exit, 2);
  ExpectOneErrorLine(bad);
  EXPECT_NE(bad.Err.find("#123456"), std::string::npos) << bad.Err;
  EXPECT_FALSE(fs::exists(dir / "bad.gif"));
}

TEST(Render, EveryWayOfGivingTheSameTextWritesTheSameFile) {
  struct Case {
    const char* Name;
    std::vector<std::string> Args;
    std::string Input;
  };
  TTempDir dir;
  WriteFile(dir / "lf.txt", "Hello\nWorld\n");
  WriteFile(dir / "bom-crlf.txt", "\xEF\xBB\xBFHello\r\nWorld");
  const std::vector<Case> cases = {
      {"two --text", {"--text", "Hello", "--text", "World"}, ""},
      {"one --text with a line break", {"--text", "Hello\nWorld"}, ""},
      {"a file ending in a line break", {"--text-file", "lf.txt"}, ""},
      {"a file with a BOM and CR LF", {"--text-file", "bom-crlf.txt"}, ""},
      {"standard input", {"--text-file", "-"}, "Hello\r\nWorld\r\n"},
  };
  std::string first;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TRun r = Render(dir, c.Args, "same.gif", c.Input);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const std::string bytes = ReadFile(dir / "same.gif");
    if (first.empty()) first = bytes;
    EXPECT_EQ(bytes, first);
  }
  // An empty last line is a line of its own, as in the editor.
  ASSERT_EQ(Render(dir, {"--text", "Hello", "--text", "World", "--text", ""}, "three.gif").Exit, 0);
  EXPECT_NE(ReadFile(dir / "three.gif"), first);
}

TEST(Render, SettingsThatMeanTheSameRenderTheSame) {
  struct Case {
    const char* Name;
    std::vector<std::string> A, B;
  };
  const std::vector<Case> cases = {
      {"default face is the sans-serif match",
       {"--text", "Aa"},
       {"--text", "Aa", "--font", "DejaVu Sans"}},
      {"22.5 pt at 96 dpi is 30 px",
       {"--text", "Pt"},
       {"--text", "Pt", "--size", "22.5", "--unit", "pt"}},
      {"30 pt at 72 dpi is 30 px",
       {"--text", "Pt"},
       {"--text", "Pt", "--size", "30", "--unit", "pt", "--dpi", "72"}},
      {"digits", {"--fill", "digits"}, {"--text", "0", "--text", "1", "--text", "2", "--text", "3",
                                        "--text", "4", "--text", "5", "--text", "6", "--text", "7",
                                        "--text", "8", "--text", "9"}},
      {"the first style is the default",
       {"--text", "St", "--font", "Liberation Sans"},
       {"--text", "St", "--font", "Liberation Sans", "--style", "Regular"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    ASSERT_EQ(Render(dir, c.A, "a.gif").Exit, 0);
    const TRun b = Render(dir, c.B, "b.gif");
    ASSERT_EQ(b.Exit, 0) << b.Err;
    EXPECT_EQ(ReadFile(dir / "a.gif"), ReadFile(dir / "b.gif"));
  }
  // And settings that differ do show.
  TTempDir dir;
  ASSERT_EQ(Render(dir, {"--text", "St", "--font", "Liberation Sans"}, "a.gif").Exit, 0);
  ASSERT_EQ(
      Render(dir, {"--text", "St", "--font", "Liberation Sans", "--style", "Bold"}, "b.gif").Exit,
      0);
  EXPECT_NE(ReadFile(dir / "a.gif"), ReadFile(dir / "b.gif"));
}

TEST(Render, AnExistingOutputIsReplacedOnlyByACompleteFile) {
  TTempDir dir;
  WriteFile(dir / "keep.gif", "precious");
  struct Case {
    const char* Name;
    std::vector<std::string> Args;
  };
  const std::vector<Case> failing = {
      {"only empty lines", {"--text", "", "--text", ""}},
      {"a bad colour after the text", {"--text", "X", "--color", "#XYZ"}},
      {"an unknown colour to recolour", {"--text", "X", "--recolor", "#010203=#000000"}},
  };
  for (const Case& c : failing) {
    SCOPED_TRACE(c.Name);
    const TRun r = Render(dir, c.Args, "keep.gif");
    EXPECT_EQ(r.Exit, 2);
    ExpectOneErrorLine(r);
    EXPECT_EQ(ReadFile(dir / "keep.gif"), "precious");
  }
  // A successful render replaces it, and leaves no temporary beside it.
  ASSERT_EQ(Render(dir, {"--text", "X"}, "keep.gif").Exit, 0);
  EXPECT_TRUE(ReadFile(dir / "keep.gif").starts_with("GIF8"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(Render, OutputsThatCannotBeWrittenExitTwo) {
  TTempDir dir;
  fs::create_directory(dir / "locked");
  fs::create_directory(dir / "folder.gif");
  WriteFile(dir / "plain.txt", "a file");
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  struct Case {
    const char* Name;
    std::string Out;
  };
  std::vector<Case> cases = {
      {"a folder under a file", (dir / "plain.txt" / "x.gif").string()},
      {"a folder", (dir / "folder.gif").string()},
  };
  if (geteuid() != 0)
    cases.push_back({"a folder without write permission", (dir / "locked" / "x.gif").string()});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TRun r = RunCli({"render", "--text", "X", "--out", c.Out});
    EXPECT_EQ(r.Exit, 2);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find(c.Out), std::string::npos) << "the message names the file: " << r.Err;
  }
}

TEST(Render, SolidNamesWithoutExtensionGetGifAndDashIsStandardOutput) {
  TTempDir dir;
  ASSERT_EQ(Render(dir, {"--text", "X"}, "plain").Exit, 0);
  EXPECT_TRUE(fs::exists(dir / "plain.gif"));
  EXPECT_FALSE(fs::exists(dir / "plain"));
  const TRun r = RunCli({"render", "--text", "X", "--out", "-"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Out, ReadFile(dir / "plain.gif"));
}

TEST(Render, PerLineFilesAndThePageLandWhereTheyAreAsked) {
  TTempDir dir;
  const TRun r = RunCli({"render", "--text", "Hello", "--text", "", "--text", "World", "--lines",
                         (dir / "lines").string(), "--mask", "%n_%t.gif", "--html",
                         (dir / "page.html").string(), "--alt"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_TRUE(fs::exists(dir / "lines" / "1_Hello.gif"));
  EXPECT_TRUE(fs::exists(dir / "lines" / "3_World.gif"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "lines"), fs::directory_iterator()), 2);
  EXPECT_TRUE(fs::exists(dir / "page.html"));
  // H, e, l, o, W, r, d: one image each, named by code.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "img_char"), fs::directory_iterator()), 7);
  EXPECT_TRUE(fs::exists(dir / "img_char" / "72.gif"));
  EXPECT_NE(ReadFile(dir / "page.html").find("alt=\"H\""), std::string::npos);
}

TEST(Render, ANameTheTextWouldTakeOutOfItsFolderIsRefusedAndTheRestSaved) {
  TTempDir dir;
  const TRun r =
      RunCli({"render", "--text", "a/b", "--text", "ok", "--lines", (dir / "l").string()});
  EXPECT_EQ(r.Exit, 2);
  EXPECT_NE(r.Err.find("a/b.gif: not written: the text holds \"/\""), std::string::npos) << r.Err;
  EXPECT_TRUE(fs::exists(dir / "l" / "ok.gif"));
  EXPECT_FALSE(fs::exists(dir / "l" / "a"));

  // A mask without a placeholder writes nothing at all, not even --out.
  const TRun m = RunCli({"render", "--text", "x", "--lines", (dir / "m").string(), "--mask",
                         "same.gif", "--out", (dir / "m.gif").string()});
  EXPECT_EQ(m.Exit, 2);
  ExpectOneErrorLine(m);
  EXPECT_NE(m.Err.find("%t"), std::string::npos) << m.Err;
  EXPECT_FALSE(fs::exists(dir / "m.gif"));
  EXPECT_FALSE(fs::exists(dir / "m"));
}

TEST(Fonts, ListsFacesSortedAndStylesInTheCataloguesOrder) {
  const TRun faces = RunCli({"fonts"});
  ASSERT_EQ(faces.Exit, 0) << faces.Err;
  const std::vector<std::string> list = Lines(faces.Out);
  auto lower = [](std::string s) {
    for (char& ch : s)
      ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
  };
  for (std::size_t i = 1; i < list.size(); ++i)
    EXPECT_LE(lower(list[i - 1]), lower(list[i])) << "at line " << i;
  for (const char* face : {"DejaVu Sans", "DejaVu Serif", "Liberation Sans", "Liberation Mono"})
    EXPECT_NE(std::find(list.begin(), list.end(), face), list.end()) << face;
  EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), list.size())
      << "each face once";

  const TRun styles = RunCli({"fonts", "Liberation Sans"});
  ASSERT_EQ(styles.Exit, 0) << styles.Err;
  EXPECT_EQ(styles.Out, "Regular\nItalic\nBold\nBold Italic\n");
}

TEST(Fonts, AFaceThatIsNotInstalledIsAnErrorNamingWhatWouldStandIn) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"fonts", "No Such Face"},
        std::vector<std::string>{"render", "--font", "No Such Face", "--text", "x", "--out",
                                 "x.gif"}}) {
    TTempDir dir;
    const TRun r = RunCli(args, {}, dir.Path());
    EXPECT_EQ(r.Exit, 2) << Describe(args, r);
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find("\"No Such Face\" is not installed"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("DejaVu Sans"), std::string::npos) << "names the substitute: " << r.Err;
    EXPECT_TRUE(fs::is_empty(dir.Path()));
  }
  // A style the face does not have lists those it has.
  const TRun r = RunCli(
      {"render", "--font", "Liberation Sans", "--style", "Heavy", "--text", "x", "--out", "-"});
  EXPECT_EQ(r.Exit, 2);
  EXPECT_NE(r.Err.find("Regular, Italic, Bold, Bold Italic"), std::string::npos) << r.Err;
}

} // namespace
