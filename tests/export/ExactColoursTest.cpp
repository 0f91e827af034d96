// Renderings of every day, saved as the solid GIF: the colours the user picked
// must come out exactly, however many edge colours anti-aliasing adds.
#include "ExportTestUtil.h"
#include "export/Export.h"
#include "export/RenderSource.h"
#include "main/AutoFill.h"
#include "main/Render.h"

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

  TTempDir dir;
  TCTable table;
  table.Prepare(ExportSourceOf(*rendering));
  TUnattendedPlatform platform;
  platform.SaveFileName = dir.Folder() + "solid.gif";
  table.SaveSolid(platform);
  const TSavedGif gif = ReadSavedGif(dir.Folder() + "solid.gif");
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
