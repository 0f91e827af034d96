// Where the underline goes, and from which weight a face without a bold
// member is emboldened.
#include "TextSupport.h"

#include <gtest/gtest.h>

using namespace text_test;

namespace {
constexpr TColor White = RGB(255, 255, 255);
}

TEST(Underline, LiesBelowTheBaselineInsideTheCell) {
  struct Row {
    const char* Face;
    int Height;
  };
  const Row rows[] = {{"Liberation Sans", 30},
                      {"DejaVu Serif", 13},
                      {"DejaVu Sans Mono", 100},
                      {"Liberation Serif", 8}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.Face) + " " + std::to_string(row.Height));
    LOGFONT lf = Font(row.Face, row.Height, false, false, false);
    const TTestSurface plain = Render(lf, "xx");
    lf.lfUnderline = 1;
    const TTestSurface underlined = Render(lf, "xx");
    TDC dc;
    dc.SelectFont(CreateFontIndirect(lf));
    const int baseline = dc.Font()->Ascent(); // the first row below the baseline
    int barRows = 0;
    for (int y = 0; y < underlined.Height(); ++y) {
      bool bar = false;
      for (int x = 0; x < underlined.Width() && !bar; ++x)
        bar = underlined.At(x, y) != plain.At(x, y);
      if (!bar) continue;
      ++barRows;
      EXPECT_GE(y, baseline) << "row " << y << " is above the baseline";
      EXPECT_LT(y, row.Height);
    }
    EXPECT_GE(barRows, 1);
    EXPECT_LT(plain.Ink(White).Bottom, baseline + 1) << "x sits on the baseline";
  }
}

TEST(SyntheticBold, FromTwoHundredAboveTheNearestMemberAndSemiboldUp) {
  // DejaVu Math TeX Gyre has a regular member (400) only.
  struct Row {
    int Weight;
    bool Bold;
  };
  const Row rows[] = {{400, false}, {500, false}, {599, false}, {600, true},
                      {650, true},  {700, true},  {900, true}};
  for (const Row& row : rows) {
    LOGFONT lf = Font("DejaVu Math TeX Gyre", 30);
    lf.lfWeight = row.Weight;
    const TFontHandle font = CreateFontIndirect(lf);
    EXPECT_EQ(font->StyleName(), "Regular") << row.Weight;
    EXPECT_EQ(font->SyntheticBold(), row.Bold) << row.Weight;
    // What a user sees: emboldened text is wider.
    TDC dc;
    dc.SelectFont(font);
    LOGFONT regular = lf;
    regular.lfWeight = FW_NORMAL;
    TDC plain;
    plain.SelectFont(CreateFontIndirect(regular));
    EXPECT_EQ(Measure(dc, "bold").Right > Measure(plain, "bold").Right, row.Bold) << row.Weight;
  }
}
