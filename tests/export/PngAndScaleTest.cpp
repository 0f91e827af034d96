// The three saves in PNG and at 2x, made from real renderings and read back
// by libpng and giflib.
#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/RenderSource.h"
#include "render/Render.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;

struct TSaveCase {
  const char* Name;
  TSaveKind Save;
  int Scale;
  bool Shadow;
  std::vector<std::pair<TColor, TColor>> Recolor; // edits of the table
  TColor Back = 0xFFFFFF;                         // of the rendering made transparent
};

TRenderSettings DejaVu(std::vector<std::string> Lines, double Size) {
  TRenderSettings s;
  s.FaceName = "DejaVu Sans";
  s.Size = Size;
  s.KeepOverhangs = true;
  s.Lines = std::move(Lines);
  return s;
}

// Every file a save wrote, by its name below the folder.
using TImages = std::map<std::string, TRgbaImage>;

TImages Save(const TSaveCase& Case, TImageFormat Format, bool Transparent, TColor Back,
             TColor Text) {
  TRenderSettings s = DejaVu({"Hag", "", "\xC3\x84pfel!"}, 21); // Äpfel!
  s.Italic = true;
  s.BackColor = Back;
  s.TextColor = Text;
  s.ShadowColor = 0x30A0E0;
  s.Shadow = Case.Shadow;
  s.ShadowDistance = 2;
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(s, 96);
  TColorTable table;
  table.Prepare(ExportSourceOf(*rendering));
  EXPECT_EQ(table.RecolorListed(Case.Recolor), Case.Recolor.size());
  table.SetTransparent(Transparent);
  TExportChoices choices;
  choices.Format = Format;
  choices.Scale = Case.Scale;
  choices.Mask = "%n.gif"; // the format's extension replaces it
  TTempDir dir;
  switch (Case.Save) {
  case TSaveKind::Solid:
    SaveSolid(table, choices, dir.Folder() + (Format == TImageFormat::Png ? "all.png" : "all.gif"));
    break;
  case TSaveKind::Lines:
    SaveLines(table, choices, dir.Folder());
    break;
  case TSaveKind::Html:
    SavePage(table, choices, dir.Folder() + "page.html");
    break;
  }
  TImages images;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.Path()))
    if (e.is_regular_file() && e.path().extension() != ".html")
      images[fs::relative(e.path(), dir.Path()).string()] = ReadSavedImage(e.path().string());
  return images;
}

// The largest difference of a channel between Image over Back and Opaque.
int Composited(const TRgbaImage& Image, TColor Back, const TRgbaImage& Opaque) {
  int worst = 0;
  const int back[3] = {GetRValue(Back), GetGValue(Back), GetBValue(Back)};
  for (int y = 0; y < Image.Height; ++y)
    for (int x = 0; x < Image.Width; ++x) {
      const std::uint8_t* p = Image.At(x, y);
      for (int c = 0; c < 3; ++c) {
        const int over = (p[c] * p[3] + back[c] * (255 - p[3]) + 127) / 255;
        worst = std::max(worst, std::abs(over - Opaque.At(x, y)[c]));
      }
    }
  return worst;
}

const TSaveCase Cases[] = {
    {"Whole", TSaveKind::Solid, 1, true, {}},
    {"Whole2x", TSaveKind::Solid, 2, true, {}},
    {"LinesOnBlue", TSaveKind::Lines, 1, true, {}, 0xCC6633},
    {"Lines2xRecoloured", TSaveKind::Lines, 2, true, {{0x000000, 0x2020C0}}},
    {"Page", TSaveKind::Html, 1, false, {{0x000000, 0x2020C0}}},
    {"Page2xOnGrey", TSaveKind::Html, 2, false, {}, 0x808080},
};

} // namespace

// Over any page colour a transparent PNG shows what an opaque one made on that
// colour shows; the recoloured text is drawn in its new colour, edges and all.
TEST(PngExport, TransparentImagesOverAnyColourAreTheRenderingOnThatColour) {
  for (const TSaveCase& c : Cases) {
    SCOPED_TRACE(c.Name);
    const TColor text = c.Recolor.empty() ? 0x000000 : c.Recolor[0].second;
    const TImages clear = Save(c, TImageFormat::Png, true, c.Back, 0x000000);
    ASSERT_FALSE(clear.empty());
    for (TColor back : {TColor(0xFFFFFF), TColor(0x1E1E1E), TColor(0x3366CC)}) {
      const TImages opaque =
          Save({c.Name, c.Save, c.Scale, c.Shadow, {}}, TImageFormat::Png, false, back, text);
      ASSERT_EQ(opaque.size(), clear.size());
      for (const auto& [name, image] : clear) {
        SCOPED_TRACE(name);
        const TRgbaImage& want = opaque.at(name);
        ASSERT_EQ(image.Width, want.Width);
        ASSERT_EQ(image.Height, want.Height);
        EXPECT_LE(Composited(image, back, want), 2);
      }
    }
  }
}

// An opaque PNG holds the pixels the GIF holds, and each 2x image is named
// with "@2x" and has twice the pixels of its 1x image each way, or a few
// more where the larger face's ink reaches further.
TEST(PngExport, OpaqueImagesHoldTheGifsPixelsAndTwiceAsManyAt2x) {
  for (const TSaveCase& c : Cases) {
    SCOPED_TRACE(c.Name);
    const TImages png =
        Save({c.Name, c.Save, c.Scale, c.Shadow, {}}, TImageFormat::Png, false, 0xFFFFFF, 0x000000);
    const TImages gif =
        Save({c.Name, c.Save, c.Scale, c.Shadow, {}}, TImageFormat::Gif, false, 0xFFFFFF, 0x000000);
    ASSERT_EQ(png.size(), gif.size());
    int larger = 0;
    for (const auto& [name, image] : png) {
      const std::string stem = name.substr(0, name.rfind('.'));
      EXPECT_EQ(image, gif.at(stem + ".gif")) << name;
      if (!stem.ends_with("@2x")) continue;
      ++larger;
      const TRgbaImage& small = png.at(stem.substr(0, stem.size() - 3) + ".png");
      EXPECT_GE(image.Width, 2 * small.Width) << name;
      EXPECT_LE(image.Width, 2 * small.Width + 4) << name;
      EXPECT_GE(image.Height, 2 * small.Height) << name;
      EXPECT_LE(image.Height, 2 * small.Height + 4) << name;
    }
    EXPECT_EQ(larger, c.Scale == 2 ? int(png.size()) / 2 : 0);
  }
}

namespace {

std::size_t InkPixels(const TRgbaImage& Image) {
  std::size_t ink = 0;
  for (std::size_t i = 0; i < Image.Pixels.size(); i += 4)
    ink += Image.Pixels[i] != 255 || Image.Pixels[i + 1] != 255 || Image.Pixels[i + 2] != 255;
  return ink;
}

std::size_t InkPixels(const TBitmap& Image) {
  std::size_t ink = 0;
  for (int y = 0; y < Image.Height(); ++y)
    for (int x = 0; x < Image.Width(); ++x)
      ink += Image.GetPixel(x, y) != 0xFFFFFF;
  return ink;
}

} // namespace

// Where the larger face's metrics make a line longer than twice its 1x
// length, its 2x image grows rather than lose the ink.
TEST(PngExport, TwoXImagesKeepAllTheInkOfTheirLine) {
  TRenderSettings s = DejaVu({"Caf\xC3\xA9 & Bar", "Home"}, 20);
  s.WidthMode = TWidthMode::ToString;
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(s, 96);
  TColorTable table;
  table.Prepare(ExportSourceOf(*rendering));
  TExportChoices choices;
  choices.Format = TImageFormat::Png;
  choices.Scale = 2;
  choices.Mask = "%n.png";
  TTempDir dir;
  SaveLines(table, choices, dir.Folder());
  SaveSolid(table, choices, dir.Folder() + "all.png");
  struct Case {
    const char* File;
    std::vector<std::string> Lines;
  };
  for (const Case& c : {Case{"1@2x.png", {s.Lines[0]}}, Case{"2@2x.png", {s.Lines[1]}},
                        Case{"all@2x.png", s.Lines}}) {
    TRenderSettings alone = s;
    alone.Lines = c.Lines;
    const std::optional<TRenderResult> large = TTextRasteriser().RenderText(alone, 96, {}, 2);
    EXPECT_EQ(InkPixels(ReadSavedImage(dir.Folder() + c.File)), InkPixels(large->FPreview))
        << c.File;
  }
}

// The dialog's preview shows what a transparent PNG holds: the text's own
// colour with its coverage as alpha, where a GIF's preview has none.
TEST(PngExport, ThePreviewOfATransparentPngIsTheTextsCoverage) {
  TRenderSettings s = DejaVu({"Hag"}, 21);
  s.TextColor = 0x2020C0;
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(s, 96);
  TCTable table;
  table.Prepare(ExportSourceOf(*rendering));
  for (const auto& [format, transparent] :
       {std::pair{TImageFormat::Gif, true}, {TImageFormat::Png, false}}) {
    table.Choices.Format = format;
    table.CBTransparentClick(transparent);
    EXPECT_FALSE(table.ClearPreview());
  }
  table.Choices.Format = TImageFormat::Png;
  table.CBTransparentClick(true);
  const std::optional<TRgbaImage> preview = table.ClearPreview();
  ASSERT_TRUE(preview);
  int edges = 0, ink = 0;
  for (std::size_t i = 0; i < preview->Pixels.size(); i += 4) {
    const std::uint8_t* p = &preview->Pixels[i];
    edges += p[3] > 0 && p[3] < 255;
    if (p[3] == 255) {
      ++ink;
      EXPECT_EQ(RGB(p[0], p[1], p[2]), s.TextColor);
    }
  }
  EXPECT_GT(edges, 20);
  EXPECT_GT(ink, 20);
}
