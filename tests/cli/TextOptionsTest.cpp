// `render` with kerning and shaping, fallback faces and overhangs kept or cut.
#include "Inspected.h"

using namespace clitest;

namespace {

struct TSize {
  std::size_t Width = 0, Height = 0;
};

// Renders into dir/out.gif and gives back the run and the image's size.
std::pair<TRun, TSize> Render(const TTempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), "render");
  args.push_back("--out");
  args.push_back((dir / "out.gif").string());
  const TRun r = RunCli(args, {}, dir.Path());
  TSize size;
  if (r.Exit == 0) {
    if (!GiflibDecodeFile(dir / "out.gif").Images.empty()) {
      const TRun inspected = RunCli({"inspect", (dir / "out.gif").string(), "--indices"});
      const TInspected gif = ParseInspect(inspected.Out);
      if (!gif.Images.empty() && !gif.Images[0].Rows.empty())
        size = {gif.Images[0].Rows[0].size(), gif.Images[0].Rows.size()};
    }
  }
  return {r, size};
}

} // namespace

TEST(TextOptions, EachOptionChangesTheImageAsItSays) {
  struct Case {
    const char* What;
    std::vector<std::string> Plain, With;
    bool Narrower, Taller;
  } cases[] = {
      {"--shaping kerns",
       {"--font", "DejaVu Sans", "--size", "40", "--text", "AVAVAV"},
       {"--font", "DejaVu Sans", "--size", "40", "--text", "AVAVAV", "--shaping"},
       true,
       false},
      {"--clip-to-cells cuts a tall accent",
       {"--font", "DejaVu Serif", "--size", "40", "--text", "\xE1\xBB\x96", "--clip-to-cells"},
       {"--font", "DejaVu Serif", "--size", "40", "--text", "\xE1\xBB\x96"},
       false,
       true},
  };
  for (const Case& c : cases) {
    TTempDir dir;
    const auto [plainRun, plain] = Render(dir, c.Plain);
    const auto [withRun, with] = Render(dir, c.With);
    ASSERT_EQ(plainRun.Exit, 0) << c.What << ": " << plainRun.Err;
    ASSERT_EQ(withRun.Exit, 0) << c.What << ": " << withRun.Err;
    EXPECT_EQ(withRun.Out + withRun.Err, "") << c.What;
    EXPECT_EQ(with.Width < plain.Width, c.Narrower) << c.What;
    EXPECT_EQ(with.Height > plain.Height, c.Taller) << c.What;
  }
}

TEST(TextOptions, NoLetterIsCutAtTheDefaultSettings) {
  struct Case {
    const char* Face;
    const char* Style;
    const char* Text;
  } cases[] = {
      {"DejaVu Serif", "Book", "\xE1\xBB\x96 \xE1\xBA\xAA \xE1\xBA\xB6"}, // Ỗ Ẫ Ặ
      {"DejaVu Sans", "Oblique", "Jiff"},
  };
  // The pixels that are not white in the one image of dir/out.gif.
  const auto ink = [](const TTempDir& dir) {
    const TInspected gif =
        ParseInspect(RunCli({"inspect", (dir / "out.gif").string(), "--indices"}).Out);
    std::size_t n = 0;
    for (std::uint8_t i : gif.Indices(0))
      n += gif.Tables.at(0).at(i) != "#FFFFFF";
    return n;
  };
  for (const Case& c : cases) {
    const std::vector<std::string> font{"--font", c.Face, "--style", c.Style, "--size", "48"};
    TTempDir plain, roomy;
    std::vector<std::string> args = font;
    args.insert(args.end(), {"--text", c.Text});
    ASSERT_EQ(Render(plain, args).first.Exit, 0) << c.Text;
    // Cut to cells, but with room all round: nothing reaches outside.
    args = font;
    args.insert(args.end(), {"--clip-to-cells", "--text", "", "--text",
                             std::string("  ") + c.Text + "  ", "--text", ""});
    ASSERT_EQ(Render(roomy, args).first.Exit, 0) << c.Text;
    EXPECT_EQ(ink(plain), ink(roomy)) << c.Text;
  }
}

TEST(TextOptions, CharactersNoFaceHasAreNamedOnceAndTheRunSucceeds) {
  struct Case {
    const char* What;
    std::vector<std::string> Args;
    std::string Err;
  } cases[] = {
      {"Devanagari comes from another face", {"--text", "\xE0\xA4\x95 ok"}, ""},
      {"shaped too", {"--text", "\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7", "--shaping"}, ""},
      {"no face has it",
       {"--text", "\xE4\xB8\xAD \xE4\xB8\xAD", "--text", "a\xE4\xB8\xAD\xF3\xB0\x80\x80"},
       "glyptika-cli: no installed face has U+4E2D (\xE4\xB8\xAD), U+F0000 (\xF3\xB0\x80\x80): "
       "drawn as empty boxes\n"},
      {"without fallback the face's lack is named",
       {"--font", "DejaVu Sans", "--text", "\xE0\xA4\x95", "--no-fallback"},
       "glyptika-cli: the face \"DejaVu Sans\" has no U+0915 (\xE0\xA4\x95): drawn as empty "
       "boxes\n"},
  };
  for (const Case& c : cases) {
    TTempDir dir;
    const auto [run, size] = Render(dir, c.Args);
    EXPECT_EQ(run.Exit, 0) << c.What << ": " << run.Err;
    EXPECT_EQ(run.Err, c.Err) << c.What;
    EXPECT_GT(size.Width, 0u) << c.What;
  }
}

TEST(TextOptions, ThePageOfCharacterImagesRefusesShaping) {
  TTempDir dir;
  const TRun r =
      RunCli({"render", "--text", "Hi", "--shaping", "--html", (dir / "page.html").string()}, {},
             dir.Path());
  EXPECT_EQ(r.Exit, 2);
  EXPECT_NE(r.Err.find("--html cannot be used with --shaping"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dir / "page.html"));
}
