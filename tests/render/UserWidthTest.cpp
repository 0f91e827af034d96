// "User width" and the width field: every value the field's bounds allow
// after a rendering renders, with or without a shadow, up to the top.
#include "render/Render.h"

#include <gtest/gtest.h>

TEST(UserWidth, EveryValueTheFieldAllowsRenders) {
  struct Row {
    const char* Name;
    TWidthMode Mode;
    int Asked;
    int Shadow; // 0: none
  };
  const Row rows[] = {
      {"user width, no shadow", TWidthMode::UserWidth, 500, 0},
      {"user width at the top with the largest shadow", TWidthMode::UserWidth, MaxUserWidth, 20},
      {"user width just below the top with a shadow", TWidthMode::UserWidth, MaxUserWidth - 3, 5},
      {"to string with a shadow", TWidthMode::ToString, 0, 20},
      {"to max string with a shadow", TWidthMode::ToMaxString, 0, 7},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TRenderSettings s;
    s.FaceName = "DejaVu Sans";
    s.Size = 8;
    s.Lines = {"w"};
    s.WidthMode = row.Mode;
    s.UserWidth = row.Asked;
    s.Shadow = row.Shadow > 0;
    s.ShadowDistance = row.Shadow > 0 ? row.Shadow : 1;
    const std::optional<TRenderResult> first = TTextRasteriser().RenderText(s, 96);
    ASSERT_TRUE(first);
    const int surface = first->FSurface->Width();
    const TWidthBounds bounds = UserWidthBounds(row.Mode, surface);
    EXPECT_LE(bounds.Min, bounds.Max);
    for (int value : {bounds.Min, bounds.Max}) {
      s.UserWidth = value;
      EXPECT_NO_THROW(TTextRasteriser().RenderText(s, 96)) << "width " << value;
    }
  }
}
