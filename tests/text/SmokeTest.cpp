#include "text/DC.h"

#include <gtest/gtest.h>

TEST(TextSmoke, MeasuresTwoLines) {
  LOGFONT lf;
  lf.lfHeight = 30;
  lf.lfWeight = FW_NORMAL;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lf.lfFaceName = "DejaVu Sans";
  TDC dc;
  dc.SelectFont(CreateFontIndirect(lf));
  TRect r{0, 0, 1, 1};
  DrawTextEx(dc, "Hello\r\nWorld", r, DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(r.Bottom, 60);
  EXPECT_GT(r.Right, 30);
}
