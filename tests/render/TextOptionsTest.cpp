// The rendering with the options beyond the window's first ones: kerning and
// shaping, fallback faces, kept overhangs.
#include "render/Render.h"
#include "text/DC.h"
#include "text/Glyphs.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int Dpi = 96;
constexpr TColor White = RGB(255, 255, 255);

TRenderSettings Settings(std::vector<std::string> lines, std::string face = "DejaVu Sans",
                         int size = 40) {
  TRenderSettings s;
  s.FaceName = std::move(face);
  s.Size = size;
  s.Lines = std::move(lines);
  return s;
}

TRenderResult Render(const TRenderSettings& s) {
  TTextRasteriser rasteriser;
  std::optional<TRenderResult> r = rasteriser.RenderText(s, Dpi);
  if (!r) throw std::logic_error("nothing rendered");
  return std::move(*r);
}

int InkPixels(const TBitmap& b, TColor background = White) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      n += b.GetPixel(x, y) != background;
  return n;
}

bool SameImage(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

// The pixels the glyph's own FreeType bitmap inks at the rendering's size:
// every coverage that reaches the lowest of the 17 levels drawn.
int OwnBitmapPixels(const char* file, char32_t ch, long ppem26, bool antiAlias) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, file, 0, &face) != 0)
    throw std::runtime_error("FreeType cannot open the font");
  FT_Set_Char_Size(face, 0, ppem26, 72, 72);
  FT_Load_Char(face, ch, antiAlias ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
  FT_Render_Glyph(face->glyph, antiAlias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO);
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  int n = 0;
  for (unsigned y = 0; y < bitmap.rows; ++y)
    for (unsigned x = 0; x < bitmap.width; ++x) {
      const unsigned char* row = bitmap.buffer + int(y) * bitmap.pitch;
      n += antiAlias ? row[x] >= 8 : (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return n;
}

} // namespace

TEST(TextOptions, OnlyFallbackIsOnAtFirstAndChangesNothingTheFaceHas) {
  const TRenderSettings first;
  EXPECT_FALSE(first.Shaping);
  EXPECT_TRUE(first.Fallback);
  EXPECT_FALSE(first.KeepOverhangs);
  for (const char* text : {"Hello, World", "\xC3\x85ngstr\xC3\xB6m \xE2\x82\xAC 1/2", ""}) {
    TRenderSettings with = Settings({text, "second line"});
    TRenderSettings without = with;
    without.Fallback = false;
    EXPECT_TRUE(SameImage(Render(with).FPreview, Render(without).FPreview)) << text;
  }
}

TEST(TextOptions, KeptOverhangsKeepEveryInkPixelOfATallAccent) {
  const char* serif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
  for (bool antiAlias : {true, false})
    for (int size : {20, 40, 90}) {
      SCOPED_TRACE(std::to_string(size) + (antiAlias ? " anti-aliased" : " monochrome"));
      TRenderSettings s = Settings({"\xE1\xBB\x96"}, "DejaVu Serif", size); // U+1ED6
      s.AntiAlias = antiAlias;
      const TRenderResult clipped = Render(s);
      s.KeepOverhangs = true;
      const TRenderResult kept = Render(s);
      const long ppem = kept.FSurface->FontHandle->Impl().Instance->Key().Ppem26_6;
      const int own = OwnBitmapPixels(serif, 0x1ED6, ppem, antiAlias);
      EXPECT_EQ(InkPixels(kept.FPreview), own);
      EXPECT_LT(InkPixels(clipped.FPreview), own) << "cut off at the top without it";
      EXPECT_GT(kept.FPreview.Height(), clipped.FPreview.Height());
      EXPECT_GT(kept.TextRect.Top, 0) << "the cells moved down by the accent";
      EXPECT_EQ(kept.TextRect.Height(), clipped.TextRect.Height());
    }
}

TEST(TextOptions, KeptOverhangsLoseNothingAnywhere) {
  struct Row {
    const char* what;
    const char* face;
    bool italic;
    std::vector<std::string> lines;
    TAlign align;
    bool shadow;
  } rows[] = {
      {"an italic's right overhang", "DejaVu Serif", true, {"Wolf", "jaff"}, TAlign::Right, false},
      {"accents over two lines",
       "DejaVu Sans",
       false,
       {"\xC7\xBA", "\xE1\xB8\x96"},
       TAlign::Center,
       true},
      {"nothing outside", "DejaVu Sans", false, {"ace"}, TAlign::Left, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TRenderSettings s = Settings(row.lines, row.face);
    s.Italic = row.italic;
    s.Align = row.align;
    s.Shadow = row.shadow;
    s.ShadowDistance = 3;
    s.ShadowColor = RGB(0, 0, 200);
    s.KeepOverhangs = true;
    const TRenderResult kept = Render(s);
    // The same text drawn with room all round inks as many pixels.
    const int margin = 60;
    TFastDIB roomy;
    roomy.Allocate(kept.FPreview.Width() + 2 * margin, kept.FPreview.Height() + 2 * margin, 24);
    roomy.DC->SelectFont(kept.FSurface->FontHandle);
    roomy.DC->SelectBrush(White);
    roomy.FillArea({0, 0, roomy.Width(), roomy.Height()});
    roomy.SetTextTransparent(true);
    TRect r = kept.TextRect;
    r.Left += margin;
    r.Right += margin;
    r.Top += margin;
    r.Bottom += margin;
    if (row.shadow) {
      roomy.ApplyTextColor(s.ShadowColor);
      TRect moved{r.Left + 3, r.Top + 3, r.Right + 3, r.Bottom + 3};
      DrawTextEx(*roomy.DC, kept.Text, moved, kept.DrawFlags);
    }
    roomy.ApplyTextColor(RGB(0, 0, 0));
    DrawTextEx(*roomy.DC, kept.Text, r, kept.DrawFlags);
    TBitmap all;
    all.SetSize(roomy.Width(), roomy.Height());
    roomy.CopyTo(all, 0, 0);
    EXPECT_EQ(InkPixels(kept.FPreview), InkPixels(all));
    // Without anything outside the cells the rendering is the plain one.
    if (std::string(row.what) == "nothing outside") {
      s.KeepOverhangs = false;
      EXPECT_TRUE(SameImage(kept.FPreview, Render(s).FPreview));
    }
  }
}

TEST(TextOptions, ShapedLinesAreMeasuredPlacedAndDrawnAsShaped) {
  TRenderSettings s = Settings({"AVATAR WAVE", "AV"});
  s.AntiAlias = false;
  s.Align = TAlign::Center;
  const TRenderResult plain = Render(s);
  s.Shaping = true;
  const TRenderResult shaped = Render(s);
  EXPECT_LT(shaped.FPreview.Width(), plain.FPreview.Width()) << "kerned";
  EXPECT_EQ(shaped.FPreview.Height(), plain.FPreview.Height());
  EXPECT_TRUE(shaped.Shaped);
  // The export measures on the surface with the same options.
  TRect line{0, 0, 1, 1};
  DrawTextEx(*shaped.FSurface->DC, "AVATAR WAVE", line, MeasureFlags);
  EXPECT_EQ(line.Right, shaped.FPreview.Width());
  // The short second line is centred by its shaped width.
  TRect second{0, 0, 1, 1};
  DrawTextEx(*shaped.FSurface->DC, "AV", second, MeasureFlags);
  const int height = shaped.FPreview.Height() / 2;
  int left = shaped.FPreview.Width(), right = 0;
  for (int y = height; y < 2 * height; ++y)
    for (int x = 0; x < shaped.FPreview.Width(); ++x)
      if (shaped.FPreview.GetPixel(x, y) != White) {
        left = std::min(left, x);
        right = std::max(right, x + 1);
      }
  EXPECT_NEAR(left + right, shaped.FPreview.Width(), 3) << "centred";
}

TEST(TextOptions, DevanagariInDejaVuSansDrawsFromAFaceThatHasIt) {
  const std::string namaste = "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0"
                              "\xA5\x87"; // नमस्ते
  TRenderSettings s = Settings({namaste});
  s.Fallback = false;
  const TRenderResult boxes = Render(s);
  EXPECT_EQ(MissingCharacters(*boxes.FSurface->DC, namaste).size(), 6u);
  for (bool shaping : {false, true}) {
    s.Fallback = true;
    s.Shaping = shaping;
    const TRenderResult letters = Render(s);
    EXPECT_EQ(MissingCharacters(*letters.FSurface->DC, namaste), U"") << shaping;
    EXPECT_FALSE(SameImage(letters.FPreview, boxes.FPreview)) << shaping;
  }
}

TEST(TextOptions, AnEmojiIsAPictureAndItsShadowAShape) {
  TRenderSettings s = Settings({"\xF0\x9F\x8D\x95"}); // U+1F355
  s.Shadow = true;
  s.ShadowDistance = 4;
  s.ShadowColor = RGB(0, 0, 255);
  const TRenderResult r = Render(s);
  int coloured = 0, shadow = 0;
  for (int y = 0; y < r.FPreview.Height(); ++y)
    for (int x = 0; x < r.FPreview.Width(); ++x) {
      const TColor c = r.FPreview.GetPixel(x, y);
      shadow += c == s.ShadowColor;
      coloured += c != White && c != s.ShadowColor && GetRValue(c) != GetBValue(c);
    }
  EXPECT_GT(coloured, 100);
  EXPECT_GT(shadow, 10);
}
