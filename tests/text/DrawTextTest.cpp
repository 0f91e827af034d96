#include "text/DC.h"
#include "text/TextSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace text_test;

namespace {

constexpr TColor White = RGB(255, 255, 255);
constexpr TColor Black = RGB(0, 0, 0);

int SumOfAdvances(const TFont& font, std::u32string_view text) {
  int sum = 0;
  for (char32_t ch : text)
    sum += font.Advance(ch);
  return sum;
}

} // namespace

TEST(Measure, LinesAreOneCellHeightApartForEveryFaceAndSize) {
  for (const char* face : {"DejaVu Sans", "DejaVu Serif Condensed", "Liberation Serif",
                           "Liberation Mono", "DejaVu Math TeX Gyre"})
    for (int height : {7, 13, 30, 57, 200}) {
      TDC dc;
      dc.SelectFont(CreateFontIndirect(Font(face, height)));
      EXPECT_EQ(Measure(dc, "Ag").Bottom, height) << face << " " << height;
      EXPECT_EQ(Measure(dc, "A\r\nB\r\nC").Bottom, 3 * height) << face << " " << height;
      EXPECT_EQ(dc.Font()->Ascent() + dc.Font()->Descent(), height);
    }
}

TEST(Measure, LineWidthIsExactlyTheSumOfItsCharactersWidths) {
  TDC dc;
  dc.SelectFont(CreateFontIndirect(Font("Liberation Serif", 30)));
  // Kerning pairs included: the export cuts characters out by adding widths.
  for (const char* text : {"AV", "To", "Wavy", "LT", "Hello World", "ff fi"}) {
    int singles = 0;
    for (const char* p = text; *p; ++p)
      singles += Measure(dc, std::string(1, *p)).Right;
    EXPECT_EQ(Measure(dc, text).Right, singles) << text;
  }
  const auto& font = *dc.Font();
  EXPECT_EQ(Measure(dc, "AV").Right, SumOfAdvances(font, U"AV"));
}

TEST(Measure, RectangleGrowsToTheWidestLineAndDownOverAllLines) {
  TDC dc;
  dc.SelectFont(CreateFontIndirect(Font("DejaVu Sans", 30)));
  const TFont& f = *dc.Font();
  const int hello = SumOfAdvances(f, U"Hello"), w = SumOfAdvances(f, U"W");
  struct Row {
    const char* what;
    std::string text;
    int width, lines;
  } rows[] = {
      {"one line", "Hello", hello, 1},
      {"widest line decides", "W\r\nHello\r\nW", hello, 3},
      {"an empty last line counts", "Hello\r\n", hello, 2},
      {"empty lines between", "W\r\n\r\n\r\nW", w, 4},
      {"only line breaks", "\r\n\r\n", 0, 3},
      {"no text, no line", "", 0, 0},
      {"LF and CR break lines too", "W\nW\rW", w, 3},
      {"a tab is a character, not expanded", "W\tW", 2 * w + f.Advance(U'\t'), 1},
      {"an ampersand is a character", "&W", f.Advance(U'&') + w, 1},
      {"UTF-8: one code point each", "\xC3\xA9\xE2\x82\xAC",
       f.Advance(U'\u00E9') + f.Advance(U'\u20AC'), 1},
      {"a broken byte is one replacement character", "W\xFFW", 2 * w + f.Advance(U'\uFFFD'), 1},
  };
  for (const Row& row : rows) {
    TRect r{0, 0, 1, 1};
    const int height = DrawTextEx(dc, row.text, r, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(r, (TRect{0, 0, row.width, 30 * row.lines})) << row.what;
    EXPECT_EQ(height, 30 * row.lines) << row.what;
  }
  EXPECT_GT(f.Advance(U'\t'), 0);
  EXPECT_LT(f.Advance(U'\t'), SumOfAdvances(f, U"        "));
  TRect moved{5, 7, 6, 8};
  DrawTextEx(dc, "W\r\nW", moved, DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(moved, (TRect{5, 7, 5 + w, 7 + 60}));
}

TEST(Draw, LinesArePlacedLeftCentredOrRightWithinTheRectangle) {
  const LOGFONT lf = Font("DejaVu Sans", 30);
  const TRect alone = Render(lf, "Hi").Ink(White);
  TDC dc;
  dc.SelectFont(CreateFontIndirect(lf));
  const int w = Measure(dc, "Hi").Right;
  struct Row {
    const char* what;
    unsigned align;
    int shift;
  } rows[] = {
      {"left", DT_LEFT, 0}, {"centre", DT_CENTER, (201 - w) / 2}, {"right", DT_RIGHT, 201 - w}};
  for (const Row& row : rows) {
    const TRect ink = Render(lf, "Hi", row.align, 201).Ink(White);
    EXPECT_EQ(ink.Left, alone.Left + row.shift) << row.what;
    EXPECT_EQ(ink.Right, alone.Right + row.shift) << row.what;
    EXPECT_EQ(ink.Top, alone.Top) << row.what;
  }
  // Two lines centred: the short one in the middle of the long one.
  const TTestSurface two = Render(lf, "Hi\r\nHHHHHH", DT_CENTER);
  int left = two.Width(), right = -1;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < two.Width(); ++x)
      if (two.At(x, y) != White) left = std::min(left, x), right = std::max(right, x + 1);
  EXPECT_EQ(left, alone.Left + (two.Width() - w) / 2);
  EXPECT_EQ(right, alone.Right + (two.Width() - w) / 2);
}

TEST(Draw, AntiAliasingGivesIntermediateColoursWithoutItOnlyTwo) {
  for (bool antiAlias : {true, false}) {
    TTestSurface s(160, 40);
    TDC dc(s.View());
    dc.SelectFont(CreateFontIndirect(Font("Liberation Sans", 40, false, true, antiAlias)));
    dc.SelectBrush(RGB(0, 0, 255));
    FillRect(dc, {0, 0, 160, 40});
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 0));
    TRect r{0, 0, 160, 40};
    DrawTextEx(dc, "Swag", r, DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
    const auto colours = s.Colours();
    EXPECT_TRUE(colours.contains(RGB(255, 255, 0))) << antiAlias;
    EXPECT_TRUE(colours.contains(RGB(0, 0, 255))) << antiAlias;
    if (antiAlias) {
      EXPECT_GT(colours.size(), 10u);
      EXPECT_LE(colours.size(), 17u) << "edges in 17 levels, the two colours included";
    } else
      EXPECT_EQ(colours.size(), 2u);
  }
}

TEST(Draw, TransparentKeepsWhatIsBehindOpaqueFillsTheLineBox) {
  for (int mode : {TRANSPARENT, OPAQUE}) {
    TTestSurface s(100, 30);
    TDC dc(s.View());
    dc.SelectFont(CreateFontIndirect(Font("DejaVu Sans", 30)));
    dc.SelectBrush(RGB(200, 0, 0));
    FillRect(dc, {0, 0, 100, 30});
    dc.SetBkMode(mode);
    dc.SetBkColor(RGB(0, 200, 0));
    TRect r{0, 0, 100, 30};
    DrawTextEx(dc, "ii", r, DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
    const int w = Measure(dc, "ii").Right;
    EXPECT_EQ(s.At(w / 2, 1), mode == OPAQUE ? RGB(0, 200, 0) : RGB(200, 0, 0)) << mode;
    EXPECT_EQ(s.At(w + 5, 15), RGB(200, 0, 0)) << mode;
  }
}

TEST(Draw, UnderlineIsOneBarUnderEachLinesText) {
  LOGFONT lf = Font("Liberation Sans", 30);
  lf.lfUnderline = 1;
  const TTestSurface s = Render(lf, "ace\r\n\r\nace ace", DT_LEFT);
  const auto fullRows = [&](int top, int width) {
    int rows = 0;
    for (int y = top; y < top + 30; ++y) {
      int x = 0;
      while (x < width && s.At(x, y) == Black)
        ++x;
      rows += x == width;
    }
    return rows;
  };
  TDC dc;
  dc.SelectFont(CreateFontIndirect(lf));
  const int w1 = Measure(dc, "ace").Right, w3 = Measure(dc, "ace ace").Right;
  EXPECT_GE(fullRows(0, w1), 1);
  EXPECT_LE(fullRows(0, w1), 3);
  EXPECT_EQ(s.At(w1 + 3, 0 + dc.Font()->Ascent() + 2), White) << "the bar ends with the text";
  EXPECT_EQ(s.Ink(White).Top, Render(Font("Liberation Sans", 30), "ace").Ink(White).Top);
  for (int y = 30; y < 60; ++y)
    EXPECT_EQ(s.At(0, y), White) << "an empty line has no bar";
  EXPECT_GE(fullRows(60, w3), 1);

  lf.lfUnderline = 0;
  const TTestSurface plain = Render(lf, "ace", DT_LEFT);
  int rows = 0;
  for (int y = 0; y < 30; ++y)
    rows += plain.At(0, y) == Black && plain.At(w1 - 1, y) == Black;
  EXPECT_EQ(rows, 0);
}

TEST(Draw, MissingCodePointDrawsTheMissingGlyphShape) {
  const LOGFONT lf = Font("Liberation Sans", 30);
  const TTestSurface cjk = Render(lf, "\xE4\xB8\x80");     // U+4E00
  const TTestSurface pua = Render(lf, "\xF3\xB0\x80\x80"); // U+F0000
  EXPECT_GT(cjk.Width(), 0);
  EXPECT_EQ(cjk.Width(), pua.Width());
  EXPECT_LT(cjk.Ink(White).Left, cjk.Width()) << "something is drawn";
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < cjk.Width(); ++x)
      ASSERT_EQ(cjk.At(x, y), pua.At(x, y)) << x << "," << y;
}

TEST(Draw, NothingOutsideTheSurfaceIsTouched) {
  struct Row {
    const char* what;
    TRect rect;
    int width, bpp;
  } rows[] = {
      {"text beyond every edge", {-40, -20, 60, 40}, 23, 24},
      {"32 bits per pixel", {-40, -20, 60, 40}, 23, 32},
      {"far outside", {INT_MAX / 4, 5, INT_MAX / 4 + 10, 10}, 23, 24},
      {"a zero-width surface", {0, 0, 10, 10}, 0, 24},
  };
  for (const Row& row : rows) {
    TTestSurface s(row.width, 17, row.bpp);
    TDC dc(s.View());
    dc.SelectFont(CreateFontIndirect(Font("DejaVu Serif", 60, true, true)));
    dc.SetBkMode(OPAQUE);
    FillRect(dc, {-5, -5, 1000, 1000}, White);
    TRect r = row.rect;
    DrawTextEx(dc, "WQ\r\nj\xC3\x85g", r, DT_CENTER | DT_NOCLIP | DT_NOPREFIX);
    r = row.rect;
    DrawTextEx(dc, "WQ\r\nj\xC3\x85g", r, DT_RIGHT | DT_NOPREFIX);
    EXPECT_TRUE(s.GuardsIntact()) << row.what;
  }
}

TEST(Draw, WithoutNoClipTheRectangleClips) {
  TTestSurface s(100, 40);
  TDC dc(s.View());
  dc.SelectFont(CreateFontIndirect(Font("DejaVu Sans", 40)));
  FillRect(dc, {0, 0, 100, 40}, White);
  TRect r{0, 0, 12, 40};
  DrawTextEx(dc, "MMM", r, DT_LEFT | DT_NOPREFIX);
  EXPECT_EQ(s.Ink(White).Right, 12);
}

TEST(DeviceContext, RefusesWhatItCannotDraw) {
  std::vector<std::uint8_t> memory(64 * 64);
  for (int bpp : {1, 4, 8, 16, 0, 48})
    EXPECT_THROW(TDC(TPixelView{memory.data(), 8, 8, 32, bpp}), ETextError) << bpp;
  EXPECT_THROW(TDC(TPixelView{memory.data(), 8, 8, 8, 24}), ETextError) << "rows too short";
  EXPECT_THROW(TDC(TPixelView{nullptr, 8, 8, 32, 24}), ETextError) << "no memory";

  TDC dc;
  TRect r{0, 0, 1, 1};
  for (unsigned flag : {0x10u /*DT_WORDBREAK*/, 0x20u /*DT_SINGLELINE*/, 0x40u /*DT_EXPANDTABS*/,
                        DT_CENTER | DT_RIGHT})
    EXPECT_THROW(DrawTextEx(dc, "x", r, flag | DT_NOPREFIX), ETextError) << flag;
  EXPECT_EQ(r, (TRect{0, 0, 1, 1}));
  // With no font selected a default one measures.
  EXPECT_GT(DrawTextEx(dc, "x", r, DT_CALCRECT | DT_NOPREFIX), 0);
}

TEST(DeviceContext, HugeGlyphsDrawWithinBounds) {
  TTestSurface s(300, 200);
  TDC dc(s.View());
  dc.SelectFont(CreateFontIndirect(Font("DejaVu Sans", 1000)));
  FillRect(dc, {0, 0, 300, 200}, White);
  TRect r{-100, -300, 200, 700};
  DrawTextEx(dc, "@", r, DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
  EXPECT_TRUE(s.GuardsIntact());
  EXPECT_NE(s.Colours().size(), 1u);
}
