#include "render/Render.h"
#include "text/DC.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>
#include <stdexcept>

namespace {

constexpr int Dpi = 96;
constexpr TColor Black = RGB(0, 0, 0);
constexpr TColor White = RGB(255, 255, 255);
constexpr TColor Red = RGB(255, 0, 0);

TRenderSettings Settings(std::vector<std::string> lines, std::string face = "DejaVu Sans") {
  TRenderSettings s;
  s.FaceName = std::move(face);
  s.Lines = std::move(lines);
  s.AntiAlias = false;
  return s;
}

// Through the rasteriser a window keeps, or a fresh one.
TRenderResult Render(const TRenderSettings& s, TTextRasteriser& rasteriser) {
  std::optional<TRenderResult> r = rasteriser.RenderText(s, Dpi);
  if (!r) throw std::logic_error("nothing rendered");
  return std::move(*r);
}
TRenderResult Render(const TRenderSettings& s) {
  TTextRasteriser fresh;
  return Render(s, fresh);
}

std::set<TColor> Colours(const TBitmap& b) {
  std::set<TColor> colours;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      colours.insert(b.GetPixel(x, y));
  return colours;
}

// Columns and rows that hold anything but the background.
TRect Ink(const TBitmap& b, int top, int bottom, TColor background = White) {
  TRect ink{b.Width(), bottom, -1, top};
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.GetPixel(x, y) != background) {
        ink.Left = std::min(ink.Left, x);
        ink.Right = std::max(ink.Right, x + 1);
        ink.Top = std::min(ink.Top, y);
        ink.Bottom = std::max(ink.Bottom, y + 1);
      }
  return ink;
}

int Count(const TBitmap& b, TColor colour) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      n += b.GetPixel(x, y) == colour;
  return n;
}

int Measure(TDC& dc, const std::string& text) {
  TRect r{0, 0, 1, 1};
  DrawTextEx(dc, text, r, MeasureFlags);
  return r.Right;
}

} // namespace

TEST(Render, TwoLettersAreAsWideAsTheirAdvancesAndOneCellHigh) {
  const TRenderResult r = Render(Settings({"AV"}));
  const TFont& font = r.FSurface->DC->CurrentFont();
  EXPECT_EQ(r.FPreview.Width(), font.Advance(U'A') + font.Advance(U'V'));
  EXPECT_EQ(r.FPreview.Height(), 30);
  EXPECT_EQ(r.FSurface->Width(), r.FPreview.Width());
  EXPECT_EQ(r.FSurface->BitsPerPixel(), 24);
  EXPECT_EQ(Measure(*r.FSurface->DC, "AV"), r.FPreview.Width())
      << "the surface keeps the rendering font for measuring";
}

TEST(Render, PointSizesBecomePixelsAtTheScreenResolution) {
  TRenderSettings s = Settings({"Ab"});
  s.Size = 22.5;
  s.SizeUnit = TSizeUnit::Points;
  EXPECT_EQ(Render(s).FPreview.Height(), 30);
}

TEST(Render, ShadowWidensByItsDistanceAndLiesDownRight) {
  TRenderSettings s = Settings({"AV"});
  const TBitmap plain = Render(s).FPreview;
  s.Shadow = true;
  s.ShadowDistance = 3;
  s.ShadowColor = Red;
  const TBitmap shadowed = Render(s).FPreview;
  ASSERT_EQ(shadowed.Width(), plain.Width() + 3);
  ASSERT_EQ(shadowed.Height(), plain.Height() + 3);
  int shadowPixels = 0;
  for (int y = 0; y < shadowed.Height(); ++y)
    for (int x = 0; x < shadowed.Width(); ++x) {
      const TColor c = shadowed.GetPixel(x, y);
      const bool textHere = plain.GetPixel(x, y) == Black;
      const bool textUpLeft = plain.GetPixel(x - 3, y - 3) == Black;
      EXPECT_EQ(c == Black, textHere) << "text stays where it was, at " << x << "," << y;
      if (c == Red) ++shadowPixels;
      EXPECT_EQ(c == Red, textUpLeft && !textHere) << "shadow at " << x << "," << y;
    }
  EXPECT_GT(shadowPixels, 0);
  EXPECT_EQ(Colours(shadowed), (std::set<TColor>{Black, White, Red}));
}

TEST(Render, UserWidthWidensButNeverNarrows) {
  TRenderSettings s = Settings({"Glyptika"});
  const int natural = Render(s).FPreview.Width();
  ASSERT_GT(natural, 50);
  ASSERT_LT(natural, 500);
  struct Row {
    const char* Name;
    TWidthMode Mode;
    int UserWidth;
    bool Shadow;
    int Width;
  };
  const Row rows[] = {
      {"user width 500", TWidthMode::UserWidth, 500, false, 500},
      {"user width 500 with a shadow of 4", TWidthMode::UserWidth, 500, true, 504},
      {"user width 50 below the text", TWidthMode::UserWidth, 50, false, natural},
      {"user width ignored in To string", TWidthMode::ToString, 500, false, natural},
      {"user width ignored in To max string", TWidthMode::ToMaxString, 500, false, natural},
  };
  for (const Row& row : rows) {
    s.WidthMode = row.Mode;
    s.UserWidth = row.UserWidth;
    s.Shadow = row.Shadow;
    s.ShadowDistance = 4;
    EXPECT_EQ(Render(s).FPreview.Width(), row.Width) << row.Name;
  }
}

TEST(Render, AnEmptyLastLineStillCounts) {
  const TRenderResult one = Render(Settings({"Ab"}));
  const TRenderResult two = Render(Settings({"Ab", ""}));
  EXPECT_EQ(two.FPreview.Height(), 2 * one.FPreview.Height());
  EXPECT_EQ(two.FPreview.Width(), one.FPreview.Width());
  EXPECT_EQ(Ink(two.FPreview, one.FPreview.Height(), two.FPreview.Height()).Right, -1)
      << "the second line is background only";
  EXPECT_EQ(two.Lines, (std::vector<std::string>{"Ab", ""}));
}

TEST(Render, ShortLinesArePlacedWithinTheLongestByAlignment) {
  TRenderSettings s = Settings({"IIIIIIII", "I"});
  const TBitmap alone = Render(Settings({"I"})).FPreview;
  const TRect solo = Ink(alone, 0, alone.Height());
  struct Row {
    const char* Name;
    TAlign Align;
  };
  for (const Row& row :
       {Row{"left", TAlign::Left}, Row{"centre", TAlign::Center}, Row{"right", TAlign::Right}}) {
    s.Align = row.Align;
    const TRenderResult r = Render(s);
    const int w = r.FPreview.Width(), lineWidth = alone.Width();
    const int h = r.FPreview.Height() / 2;
    const TRect ink = Ink(r.FPreview, h, 2 * h);
    const int offset = row.Align == TAlign::Left     ? 0
                       : row.Align == TAlign::Center ? (w - lineWidth) / 2
                                                     : w - lineWidth;
    EXPECT_NEAR(ink.Left - solo.Left, offset, 1) << row.Name;
    EXPECT_EQ(ink.Width(), solo.Width()) << row.Name;
    EXPECT_EQ(r.FAlign, row.Align);
  }
}

TEST(Render, AntiAliasingGivesIntermediateColoursAndItsAbsenceExactlyTwo) {
  TRenderSettings s = Settings({"Sow & reap"});
  s.TextColor = RGB(0, 0, 128);
  s.BackColor = RGB(255, 255, 0);
  EXPECT_EQ(Colours(Render(s).FPreview), (std::set<TColor>{RGB(0, 0, 128), RGB(255, 255, 0)}));
  s.AntiAlias = true;
  const std::set<TColor> smooth = Colours(Render(s).FPreview);
  EXPECT_GT(smooth.size(), 10u);
  EXPECT_TRUE(smooth.count(RGB(0, 0, 128)) && smooth.count(RGB(255, 255, 0)));
}

TEST(Render, UnderlineDrawsABarUnderEachLine) {
  TRenderSettings s = Settings({"under", "under"});
  const TBitmap plain = Render(s).FPreview;
  s.Underline = true;
  const TBitmap under = Render(s).FPreview;
  ASSERT_EQ(under.Width(), plain.Width());
  const int lineHeight = under.Height() / 2;
  for (int line = 0; line < 2; ++line) {
    int fullRows = 0;
    for (int y = line * lineHeight; y < (line + 1) * lineHeight; ++y) {
      int black = 0;
      for (int x = 0; x < under.Width(); ++x)
        black += under.GetPixel(x, y) == Black;
      fullRows += black >= under.Width() * 9 / 10;
    }
    EXPECT_GE(fullRows, 1) << "line " << line;
  }
  EXPECT_GT(Count(under, Black), Count(plain, Black));
}

TEST(Render, MissingMembersAreSynthesised) {
  // "DejaVu Sans Light" has one member, neither bold nor slanted.
  TRenderSettings s = Settings({"lll"}, "DejaVu Sans Light");
  const TRenderResult regular = Render(s);
  s.Bold = true;
  const TRenderResult bold = Render(s);
  EXPECT_TRUE(bold.FSurface->DC->CurrentFont().SyntheticBold());
  EXPECT_GT(bold.FPreview.Width(), regular.FPreview.Width()) << "emboldening widens the advance";
  EXPECT_GT(Count(bold.FPreview, Black), Count(regular.FPreview, Black));

  s.Bold = false;
  s.Italic = true;
  const TRenderResult slanted = Render(s);
  EXPECT_TRUE(slanted.FSurface->DC->CurrentFont().SyntheticItalic());
  const TBitmap& b = slanted.FPreview;
  const TRect ink = Ink(b, 0, b.Height());
  const TRect top = Ink(b, ink.Top, ink.Top + 3), bottom = Ink(b, ink.Bottom - 3, ink.Bottom);
  EXPECT_GT(top.Left, bottom.Left) << "the stems lean right";
}

TEST(Render, AFaceThatIsNotInstalledStillRenders) {
  TTextRasteriser window;
  TRenderSettings s = Settings({"Ab"}, "Liberation Serif");
  const TBitmap serif = Render(s, window).FPreview;
  s.FaceName = "No Such Face";
  const TRenderResult fallback = Render(s, window);
  EXPECT_EQ(fallback.FPreview, serif) << "the face of the last lookup is kept";
  EXPECT_EQ(fallback.FSurface->DC->CurrentFont().FaceName(), "Liberation Serif");
}

TEST(Render, NothingOrOnlyEmptyLinesAreHarmless) {
  EXPECT_FALSE(TTextRasteriser().RenderText(Settings({}), Dpi).has_value());

  TRenderSettings s = Settings({"", ""});
  const TRenderResult blank = Render(s);
  EXPECT_EQ(blank.FPreview.Width(), 0);
  EXPECT_EQ(blank.FSurface->Width(), 0);
  EXPECT_TRUE(blank.FPreview.Empty());

  s.WidthMode = TWidthMode::UserWidth;
  s.UserWidth = 40;
  const TRenderResult wide = Render(s);
  EXPECT_EQ(wide.FPreview.Width(), 40);
  EXPECT_EQ(Colours(wide.FPreview), std::set<TColor>{White});
}

TEST(Render, ARenderingTooLargeIsRefusedWithAClearError) {
  TRenderSettings s = Settings({std::string(4000, 'W')});
  s.Size = 1000;
  try {
    TTextRasteriser().RenderText(s, Dpi);
    FAIL() << "no error";
  } catch (const std::length_error& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
}

TEST(Render, LimitsAreCheckedAfterMeasuringBeforeAnySurfaceIsMade) {
  // 800 lines at 1000 pixels measure near a million pixels high: gigabytes
  // if the surface were made before the check.
  std::vector<std::string> tall(800, "W");
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    TRenderLimits limits;
    const char* says;
  };
  const Case cases[] = {
      {"higher than a GIF", tall, {MaxRenderPixels, MaxGifSide}, "at most 65535"},
      {"more pixels than allowed", tall, {}, "pixels a rendering may have"},
      {"a small limit", {"WW"}, {100, INT_MAX}, "pixels a rendering may have"},
      {"a narrow side", {"WW"}, {MaxRenderPixels, 10}, "at most 10 pixels"},
  };
  for (const Case& c : cases) {
    TRenderSettings s = Settings(c.lines);
    s.Size = c.lines.size() > 1 ? 1000 : 30;
    try {
      TTextRasteriser().RenderText(s, Dpi, c.limits);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const ERenderTooLarge& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.name << e.what();
      EXPECT_GT(std::int64_t(e.Width()) * e.Height(), 0) << c.name;
    }
  }
  // Within the limits nothing changes.
  TRenderSettings s = Settings({"WW"});
  const TRenderResult r = Render(s);
  EXPECT_NO_THROW(
      TTextRasteriser().RenderText(s, Dpi,
                                   {std::int64_t(r.FPreview.Width()) * r.FPreview.Height(),
                                    std::max(r.FPreview.Width(), r.FPreview.Height())}));
}

TEST(Render, SettingsOutOfRangeAreRefused) {
  struct Row {
    const char* Name;
    void (*Spoil)(TRenderSettings&);
  };
  const Row rows[] = {
      {"size 0", [](TRenderSettings& s) { s.Size = 0; }},
      {"size above 1000", [](TRenderSettings& s) { s.Size = 1001; }},
      {"unknown unit", [](TRenderSettings& s) { s.SizeUnit = TSizeUnit(2); }},
      {"shadow distance 21", [](TRenderSettings& s) { s.Shadow = true, s.ShadowDistance = 21; }},
      {"user width above 32000",
       [](TRenderSettings& s) { s.WidthMode = TWidthMode::UserWidth, s.UserWidth = 32001; }},
      {"negative user width", [](TRenderSettings& s) { s.UserWidth = -1; }},
      {"alignment 3", [](TRenderSettings& s) { s.Align = TAlign(3); }},
  };
  for (const Row& row : rows) {
    TRenderSettings s = Settings({"x"});
    row.Spoil(s);
    EXPECT_THROW(TTextRasteriser().RenderText(s, Dpi), std::invalid_argument) << row.Name;
  }
}

TEST(Render, LinesWithBreaksOfTheirOwnAreRenderedAsSeveral) {
  const TRenderResult r = Render(Settings({"a\r\nb", "c\nd"}));
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(r.FPreview.Height(), 4 * 30);
}
