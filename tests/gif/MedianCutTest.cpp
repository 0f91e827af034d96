#include "gif/MedianCut.h"
#include "gif/Gif.h"
#include "support/ChannelError.h"

#include <gtest/gtest.h>

#include <set>

TEST(MedianCut, ClustersGiveTheirWeightedMeans) {
  // Four clusters far apart, three colours each; the last weighs three times.
  const TColor centres[] = {RGB(20, 20, 20), RGB(230, 30, 40), RGB(40, 220, 60), RGB(50, 60, 210)};
  std::vector<TColorCount> colors;
  for (TColor c : centres)
    for (int d : {-4, 0, 4})
      colors.push_back({TColor(int(c) + d), d == 4 ? 3u : 1u});
  const TQuantised q = MedianCut(colors, 4);
  ASSERT_EQ(q.Palette.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    const int entry = q.EntryOf[3 * k];
    EXPECT_EQ(q.EntryOf[3 * k + 1], entry);
    EXPECT_EQ(q.EntryOf[3 * k + 2], entry);
    // (-4 + 0 + 3 * 4) / 5 = 1.6: red two above the centre.
    EXPECT_EQ(q.Palette[std::size_t(entry)], centres[k] + 2) << k;
  }
}

TEST(MedianCut, KeptColoursAndTheirBlendsStayExactAmongThousands) {
  // A gradient of 2304 colours; row 0 holds two kept colours one step apart
  // and the 15 levels between white and the first.
  const TColor white = 0xFFFFFF, blue = 0x996633, near = 0x996634;
  TBitmap b(48, 49);
  b.Fill(white);
  for (int y = 1; y < 49; ++y)
    for (int x = 0; x < 48; ++x)
      b.SetPixel(x, y, RGB(std::uint8_t(x * 5), std::uint8_t(y * 5), 0x80));
  b.SetPixel(20, 0, blue);
  b.SetPixel(21, 0, near);
  for (int level = 1; level < 16; ++level) {
    const auto mix = [level](int w, int c) {
      return std::uint8_t(w + (((c - w) * level + 8) >> 4));
    };
    b.SetPixel(22 + level, 0, RGB(mix(255, 0x33), mix(255, 0x66), mix(255, 0x99)));
  }
  const TColor keep[] = {white, blue, near};

  auto gif = TGif::CreateFromBitmap(b, keep);
  const TGifColorTable& table = gif->GetColorTable(0);
  EXPECT_LE(table.Count, 256);
  EXPECT_EQ(table.Colors[0], white) << "the first colour met comes first";
  std::set<TColor> entries(table.Colors.begin(), table.Colors.begin() + table.Count);
  EXPECT_EQ(int(entries.size()), table.Count) << "no entry twice";
  double error = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor have = table.Colors[gif->GetPixelIndex(0, x, y)];
      if (y == 0)
        ASSERT_EQ(have, b.GetPixel(x, y)) << x;
      else
        error += ChannelError(have, b.GetPixel(x, y));
    }
  EXPECT_LE(error / (48 * 48), 4.0) << "mean error per channel of the gradient";
}
