#include "CodecErrors.h"
#include "gif/Gif.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor White = RGB(255, 255, 255);
constexpr TColor Black = RGB(0, 0, 0);

// `colors` distinct colours, each one pixel, in reading order; the rest repeat the last.
TBitmap DistinctColours(int colors, int w = 64) {
  const int h = (colors + w - 1) / w;
  TBitmap b(w, h);
  for (int i = 0; i < w * h; ++i) {
    const int k = std::min(i, colors - 1);
    b.SetPixel(i % w, i / w, RGB(std::uint8_t(k), std::uint8_t(k >> 8), 0x55));
  }
  return b;
}

TEST(Index, TableCountIsRoundedToAPowerOfTwo) {
  struct Row {
    int colors, count, resolution;
  } rows[] = {{1, 2, 1},   {2, 2, 1},   {3, 4, 2},    {5, 8, 3},     {9, 16, 4},
              {17, 32, 5}, {33, 64, 6}, {65, 128, 7}, {129, 256, 8}, {256, 256, 8}};
  for (const Row& row : rows) {
    auto gif = TGif::CreateFromBitmap(DistinctColours(row.colors));
    const TGifColorTable& t = gif->GetColorTable(0);
    EXPECT_EQ(t.Count, row.count) << row.colors << " colours";
    EXPECT_EQ(gif->Screen().ColorResolution, row.resolution) << row.colors << " colours";
    EXPECT_EQ(gif->Screen().GlobalColorTableSize, row.count) << row.colors << " colours";
    EXPECT_EQ(gif->GetImage(0).ColorTableSize, row.count) << row.colors << " colours";
    for (int i = row.colors; i < 256; ++i)
      ASSERT_EQ(t.Colors[std::size_t(i)], 0u) << row.colors << " colours, entry " << i;
  }
}

TEST(Index, OneColourGivesTwoEntriesAndIndexZero) {
  TBitmap b(6, 5);
  b.Fill(RGB(0x12, 0x34, 0x56));
  auto gif = TGif::CreateFromBitmap(b);
  const TGifImageRecord& image = gif->GetImage(0);
  EXPECT_EQ(gif->GetColorTable(0).Colors[0], RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(gif->GetColorTable(0).Colors[1], Black);
  EXPECT_EQ(image.PixelIndices, std::vector<std::uint8_t>(30, 0));
  EXPECT_EQ(image.PixelCount, 30);
  EXPECT_EQ(image.CodeSize, 8);
  EXPECT_FALSE(image.Interlaced);
}

TEST(Index, ColoursEnterInFirstSeenOrder) {
  TBitmap b(4, 3);
  b.Fill(White);
  b.SetPixel(3, 1, RGB(255, 0, 0));
  b.SetPixel(0, 2, RGB(0, 0, 255));
  b.SetPixel(1, 2, RGB(255, 0, 0));
  auto gif = TGif::CreateFromBitmap(b);
  const TGifColorTable& t = gif->GetColorTable(0);
  EXPECT_EQ(t.Colors[0], White);
  EXPECT_EQ(t.Colors[1], RGB(255, 0, 0));
  EXPECT_EQ(t.Colors[2], RGB(0, 0, 255));
  EXPECT_EQ(gif->GetImage(0).PixelIndices,
            (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0}));

  TBitmap yellow(2, 1);
  yellow.SetPixel(0, 0, 0x0000FFFF);
  auto first = TGif::CreateFromBitmap(yellow);
  EXPECT_EQ(first->GetColorTable(0).Colors[0], 0x0000FFFFu);
  EXPECT_EQ(first->GetColorTable(0).Colors[1], Black);
}

TEST(Index, MaskPasses) {
  // 257 colours that stay 257 apart only in their low bits; and 512 that differ under $E0E0E0.
  TBitmap fine(257, 1);
  for (int i = 0; i < 257; ++i)
    fine.SetPixel(i, 0, RGB(std::uint8_t(i), std::uint8_t(i >> 8), 7));
  TBitmap coarse(512, 1);
  for (int i = 0; i < 512; ++i)
    coarse.SetPixel(i, 0,
                    RGB(std::uint8_t((i & 7) << 5), std::uint8_t((i >> 3 & 7) << 5),
                        std::uint8_t((i >> 6) << 5 | 0x1F)));
  struct Row {
    const char* name;
    TBitmap bitmap;
    TColor mask;
  } rows[] = {
      {"256 colours as they are", DistinctColours(256), 0xFFFFFFFF},
      {"257 colours under $E0E0E0", fine, 0xE0E0E0},
      {"512 colours under $C0E0E0", coarse, 0xC0E0E0},
  };
  for (const Row& row : rows) {
    auto gif = TGif::CreateFromBitmap(row.bitmap);
    const TGifColorTable& t = gif->GetColorTable(0);
    const TGifImageRecord& image = gif->GetImage(0);
    for (int i = 0; i < t.Count; ++i)
      ASSERT_EQ(t.Colors[std::size_t(i)] & ~row.mask, 0u) << row.name << " entry " << i;
    for (int y = 0; y < image.Height; ++y)
      for (int x = 0; x < image.Width; ++x)
        ASSERT_EQ(t.Colors[gif->GetPixelIndex(0, x, y)], row.bitmap.GetPixel(x, y) & row.mask)
            << row.name << " at " << x << "," << y;
  }
}

TEST(Index, WhiteAfterEachPass) {
  TBitmap b(300, 1);
  b.SetPixel(0, 0, White);
  for (int i = 1; i < 300; ++i)
    b.SetPixel(i, 0, RGB(std::uint8_t(i), 3, std::uint8_t(i >> 8)));
  EXPECT_EQ(TGif::CreateFromBitmap(b)->GetColorTable(0).Colors[0], 0xE0E0E0u);
}

TEST(Index, SecondBitmapGetsALocalTable) {
  TGif gif;
  TBitmap white(3, 3);
  white.Fill(White);
  gif.AddBitmap(white);
  gif.AddBitmap(DistinctColours(5));
  EXPECT_FALSE(gif.GetImage(0).HasLocalColorTable);
  EXPECT_TRUE(gif.GetImage(1).HasLocalColorTable);
  EXPECT_EQ(gif.GetImage(1).Index, 1);
  EXPECT_EQ(gif.GetImage(1).ColorTableIndex, 1);
  EXPECT_EQ(gif.GetImage(1).ColorTableSize, 8);
  EXPECT_EQ(gif.Screen().GlobalColorTable, 0);
  EXPECT_EQ(gif.Screen().GlobalColorTableSize, 2);
  ASSERT_NE(gif.Palette(), nullptr);
  EXPECT_EQ(gif.Palette()->Count, 2);
  EXPECT_EQ(gif.Palette()->Colors[0], White);
  EXPECT_NE(gif.FindGraphicControl(0), nullptr);
  EXPECT_NE(gif.FindGraphicControl(1), nullptr);
}

TEST(Index, TransparentBitmapPicksItsIndexButNotTheFlag) {
  struct Row {
    const char* name;
    TColor transparent;
    int index;
  } rows[] = {
      {"in the table", RGB(255, 0, 0), 1},
      {"not in the table", RGB(1, 2, 3), 0},
  };
  for (const Row& row : rows) {
    TBitmap b(3, 1);
    b.Fill(White);
    b.SetPixel(2, 0, RGB(255, 0, 0));
    b.Transparent = true;
    b.TransparentColor = row.transparent;
    auto gif = TGif::CreateFromBitmap(b);
    EXPECT_EQ(gif->FindGraphicControl(0)->TransparentIndex, row.index) << row.name;
    EXPECT_FALSE(gif->Transparent()) << row.name;
  }
}

TEST(Index, BadBitmapsAreRefusedAndChangeNothing) {
  TGif gif;
  gif.AddBitmap(TBitmap(2, 2));
  struct Row {
    const char* name;
    const TBitmap* bitmap;
    int code;
  } rows[] = {
      {"null", nullptr, 22},
      {"no pixels", new TBitmap(), 19},
      {"width 0", new TBitmap(0, 5), 19},
      {"height 0", new TBitmap(5, 0), 19},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ErrorCode([&] { gif.AddBitmap(row.bitmap); }), row.code) << row.name;
    EXPECT_EQ(gif.ImageCount(), 1) << row.name;
    EXPECT_EQ(gif.ColorTableCount(), 1) << row.name;
    delete row.bitmap;
  }
  EXPECT_EQ(ErrorCode([] { TGif::CreateFromBitmap(TBitmap()); }), 19);
  EXPECT_EQ(GifLastErrorText, "Invalid Bitmap Image");
}

} // namespace
