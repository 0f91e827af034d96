#include "gif/Gif.h"

#include <gtest/gtest.h>

namespace {

TEST(BitmapRebuild, PixelsAreTheTableEntriesOfTheirIndices) {
  struct Row {
    const char* name;
    int colors;
  } rows[] = {{"exact colours", 40}, {"masked colours", 600}};
  for (const Row& row : rows) {
    TBitmap b(50, 20);
    for (int i = 0; i < 1000; ++i)
      b.SetPixel(i % 50, i / 50,
                 RGB(std::uint8_t(i % row.colors), std::uint8_t(i % row.colors >> 8), 9));
    auto gif = TGif::CreateFromBitmap(b);
    const TGifColorTable& table = gif->GetColorTable(0);
    const TBitmap& out = gif->GetBitmap(0);
    ASSERT_EQ(out.Width(), 50);
    ASSERT_EQ(out.Height(), 20);
    EXPECT_EQ(out.Palette.get(), gif->Palette()) << row.name;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 50; ++x)
        ASSERT_EQ(out.GetPixel(x, y), table.Colors[gif->GetPixelIndex(0, x, y)])
            << row.name << " at " << x << "," << y;
    if (row.colors <= 256) {
      EXPECT_EQ(out, b) << row.name;
    }
  }
}

TEST(BitmapRebuild, TransparencyNeedsAnIndexInsideTheTable) {
  struct Row {
    const char* name;
    bool flag;
    int index;
    bool transparent;
  } rows[] = {
      {"index 3 of 4", true, 3, true},
      {"index 4 of 4", true, 4, false},
      {"flag off", false, 3, false},
  };
  for (const Row& row : rows) {
    TBitmap b(3, 1);
    for (int x = 0; x < 3; ++x)
      b.SetPixel(x, 0, RGB(std::uint8_t(10 * x + 10), 0, 0));
    auto gif = TGif::CreateFromBitmap(b);
    gif->GetColorTable(0).Colors[3] = RGB(1, 2, 3);
    TGifExtension& gce = *gif->FindGraphicControl(0);
    gce.Transparent = row.flag;
    gce.TransparentIndex = row.index;
    const TBitmap& out = gif->GetBitmap(0);
    EXPECT_EQ(out.Transparent, row.transparent) << row.name;
    if (row.transparent) {
      EXPECT_EQ(out.TransparentColor, RGB(1, 2, 3)) << row.name;
    }
  }
}

TEST(BitmapRebuild, BuiltOnceForAllImagesAndKept) {
  TGif gif;
  gif.AddBitmap(TBitmap(4, 4));
  TBitmap red(2, 3);
  red.Fill(RGB(255, 0, 0));
  gif.AddBitmap(red);
  std::vector<std::string> phases;
  gif.OnProgress = [&](TGif&, TProgressStage stage, std::uint8_t, bool, const TRect&,
                       const std::string& msg) {
    if (stage == TProgressStage::psStarting) phases.push_back(msg);
  };
  TBitmap& first = gif.GetBitmap(0);
  EXPECT_EQ(phases, (std::vector<std::string>{"make bitmap", "make bitmap"}));
  EXPECT_EQ(gif.GetBitmap(1).GetPixel(1, 2), RGB(255, 0, 0));
  EXPECT_EQ(gif.GetBitmap(1).Palette->Colors[0], RGB(255, 0, 0));
  first.SetPixel(0, 0, RGB(9, 9, 9));
  EXPECT_EQ(&gif.GetBitmap(0), &first);
  EXPECT_EQ(gif.GetBitmap(0).GetPixel(0, 0), RGB(9, 9, 9));
  EXPECT_EQ(phases.size(), 2u);
}

} // namespace
