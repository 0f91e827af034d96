// Renderings of every day, saved as the solid GIF: the colours the user picked
// must come out exactly, however many edge colours anti-aliasing adds.
#include "ExportTestUtil.h"
#include "export/Export.h"
#include "export/RenderSource.h"
#include "render/AutoFill.h"
#include "render/Render.h"
#include "support/ChannelError.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

namespace {

struct TColourCase {
  const char* Name;
  const char* Face;
  bool Bold, Italic;
  double Size;
  TColor Text, Back, Shadow;
  int Distance; // 0: no shadow
  std::vector<std::string> Lines;
  bool Underline = false;
};

std::vector<std::string> AllChars() {
  return AutoFillLines(afAllChars);
}

const TColourCase Cases[] = {
    {"HelloBlueWithShadow",
     "DejaVu Sans",
     false,
     false,
     30,
     0xFF0000,
     0xFFFFFF,
     0x808080,
     2,
     {"Hello World"}},
    {"BoldHeadingRedShadow",
     "DejaVu Sans",
     true,
     false,
     48,
     0x000000,
     0xFFFFFF,
     0x0000FF,
     3,
     {"Glyptika", "text to GIF"}},
    {"WhiteOnNavy",
     "DejaVu Serif",
     false,
     false,
     24,
     0xFFFFFF,
     0x663300,
     0x000000,
     0,
     {"White on navy, 0123456789"}},
    {"AllCharsOnLightGrey", "DejaVu Sans", false, false, 30, 0x000000, 0xF0F0F0, 0x808080, 0,
     AllChars()},
    {"AllCharsShadowed", "Liberation Sans", false, false, 30, 0x0000C0, 0xF0F0F0, 0x00C000, 2,
     AllChars()},
    {"Serif200px",
     "DejaVu Serif",
     false,
     false,
     200,
     0x004080,
     0xFFFFFF,
     0xC0C0C0,
     5,
     {"Serif Og&%@"}},
    {"ItalicOverlaps",
     "Liberation Serif",
     false,
     true,
     64,
     0x202020,
     0xE8F8FF,
     0x8080FF,
     3,
     {"ffiffl Vaj/yf", "Wavy italic"}},
    {"BoldItalicUnderlined",
     "Liberation Sans",
     true,
     true,
     40,
     0x008000,
     0x000000,
     0xFFFFFF,
     1,
     {"Underlined jg"},
     true},
    {"Mono8px",
     "DejaVu Sans Mono",
     false,
     false,
     8,
     0x123456,
     0xFEDCBA,
     0x000000,
     1,
     {"tiny text 8 px", "{[()]}"}},
    {"Huge1000px", "Liberation Serif", false, true, 1000, 0x336699, 0xFFFFFF, 0x000000, 20, {"Sg"}},
};

class ExactColours : public testing::TestWithParam<TColourCase> {};

[[maybe_unused]] void PrintTo(const TColourCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

// The rendering, prepared in Table and saved as the solid GIF, read back.
TSavedGif SavedSolid(const TRenderResult& Rendering, TCTable& Table) {
  TTempDir dir;
  Table.Prepare(ExportSourceOf(Rendering));
  TUnattendedPlatform platform;
  platform.SaveFileName = dir.Folder() + "solid.gif";
  Table.SaveSolid(platform);
  return ReadSavedGif(dir.Folder() + "solid.gif");
}

} // namespace

TEST_P(ExactColours, SavedGifHoldsTheUsersColoursWithTheBackgroundInTheCorners) {
  const TColourCase& c = GetParam();
  TRenderSettings s;
  s.FaceName = c.Face;
  s.Bold = c.Bold;
  s.Italic = c.Italic;
  s.Size = c.Size;
  s.Underline = c.Underline;
  s.AntiAlias = true;
  s.TextColor = c.Text;
  s.BackColor = c.Back;
  s.ShadowColor = c.Shadow;
  s.Shadow = c.Distance > 0;
  s.ShadowDistance = c.Distance > 0 ? c.Distance : 1;
  s.Lines = c.Lines;
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(s, 96);
  ASSERT_TRUE(rendering);

  TCTable table;
  const TSavedGif gif = SavedSolid(*rendering, table);
  ASSERT_GT(gif.Width, 0);

  const std::set<std::uint32_t> used = gif.UsedColors();
  EXPECT_TRUE(used.count(c.Text)) << "text colour lost among " << used.size() << " colours";
  if (c.Distance > 0) {
    EXPECT_TRUE(used.count(c.Shadow)) << "shadow colour lost among " << used.size() << " colours";
  }
  if (c.Distance == 0) {
    EXPECT_LE(used.size(), 17u) << "background, text and the 15 levels between them";
  }
  EXPECT_EQ(gif.At(0, 0), c.Back);
  EXPECT_EQ(gif.At(0, gif.Height - 1), c.Back);
  EXPECT_EQ(gif.At(gif.Width - 1, gif.Height - 1), c.Back);
  // What the dialog marks "BG" and makes transparent is the background itself.
  EXPECT_EQ(gif.Colors.at(std::size_t(table.BackIndex())), c.Back);

  // Anti-aliased edges stay between the colours drawn: every colour of the
  // file is a blend of background, shadow and text, none a coarser version.
  std::vector<TColor> drawn{c.Back, c.Text};
  if (c.Distance > 0) drawn.push_back(c.Shadow);
  for (std::uint32_t colour : used)
    for (int shift : {0, 8, 16}) {
      int lo = 255, hi = 0;
      for (TColor d : drawn) {
        lo = std::min(lo, int(d >> shift & 0xFF));
        hi = std::max(hi, int(d >> shift & 0xFF));
      }
      const int v = int(colour >> shift & 0xFF);
      ASSERT_TRUE(v >= lo && v <= hi) << std::hex << colour;
    }
}

INSTANTIATE_TEST_SUITE_P(Renderings, ExactColours, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<TColourCase>& Info) {
                           return std::string(Info.param.Name);
                         });

// Colour pictures push a rendering past 256 colours: the user's colours still
// come out exact, pixel for pixel, and the pictures keep their look.
struct TEmojiCase {
  const char* Name;
  double Size;
  int Distance; // 0: no shadow
};

class EmojiKeepColours : public testing::TestWithParam<TEmojiCase> {};

TEST_P(EmojiKeepColours, UsersColoursExactAndPicturesClose) {
  const TColor text = 0x996633, back = 0xFFFFFF, shadow = 0x00CCFF;
  TRenderSettings s;
  s.FaceName = "DejaVu Sans";
  s.Size = GetParam().Size;
  s.Shaping = true;
  s.TextColor = text;
  s.BackColor = back;
  s.ShadowColor = shadow;
  s.Shadow = GetParam().Distance > 0;
  s.ShadowDistance = std::max(GetParam().Distance, 1);
  // The pictures on a line of their own, so that their pixels are known.
  s.Lines = {"Hi there", "\U0001F44D\U0001F3FD \U0001F468\u200D\U0001F469\u200D\U0001F467 "
                         "\U0001F1EB\U0001F1F7"};
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(s, 96);
  ASSERT_TRUE(rendering);
  const TBitmap& source = rendering->FPreview;

  TCTable table;
  const TSavedGif gif = SavedSolid(*rendering, table);
  ASSERT_EQ(gif.Width, source.Width());
  ASSERT_EQ(gif.Height, source.Height());
  const std::vector<TColor> users{back, text, shadow};
  const int picturesTop = rendering->TextRect.Top + rendering->TextRect.Height() / 2;
  int wrong = 0, pictures = 0;
  double error = 0;
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) {
      const TColor want = source.GetPixel(x, y), have = gif.At(x, y);
      // The text's line holds the user's colours and the edges between them.
      if (y < picturesTop || std::find(users.begin(), users.end(), want) != users.end()) {
        wrong += have != want;
      } else {
        ++pictures;
        error += ChannelError(have, want);
      }
    }
  EXPECT_EQ(wrong, 0) << "pixels of the user's colours or of the text changed";
  ASSERT_GT(pictures, 0);
  EXPECT_LE(error / pictures, 6.0) << "mean error per channel of " << pictures << " picture pixels";
  // A PNG has no such limit: it holds every pixel as rendered.
  TTempDir dir;
  TExportChoices png;
  png.Format = TImageFormat::Png;
  SaveSolid(table.Table(), png, dir.Folder() + "all.png");
  const TRgbaImage image = ReadSavedImage(dir.Folder() + "all.png");
  ASSERT_EQ(image.Width, source.Width());
  int changed = 0;
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) {
      const std::uint8_t* p = image.At(x, y);
      changed += RGB(p[0], p[1], p[2]) != source.GetPixel(x, y);
    }
  EXPECT_EQ(changed, 0) << "pixels the PNG does not hold as rendered";
  EXPECT_EQ(gif.Colors.at(std::size_t(table.BackIndex())), back);
  // The colour table's edits find them.
  EXPECT_EQ(table.RecolorListed({{back, 0x000000}, {text, 0x00FF00}}), 2u);
}

const TEmojiCase EmojiCases[] = {
    {"Px36", 36, 0},       {"Px36Shadow", 36, 1}, {"Px48", 48, 0},
    {"Px48Shadow", 48, 2}, {"Px96", 96, 0},       {"Px96Shadow", 96, 3},
};

INSTANTIATE_TEST_SUITE_P(Renderings, EmojiKeepColours, testing::ValuesIn(EmojiCases),
                         [](const testing::TestParamInfo<TEmojiCase>& Info) {
                           return std::string(Info.param.Name);
                         });
