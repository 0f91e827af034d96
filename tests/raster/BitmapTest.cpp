#include "raster/Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

TEST(Bitmap, RowsArePaddedToFourBytesAndStoredBlueGreenRed) {
  struct Case {
    int width;
    std::size_t stride;
  };
  for (Case c : {Case{1, 4}, Case{2, 8}, Case{3, 12}, Case{4, 12}, Case{5, 16}}) {
    TBitmap bmp(c.width, 2);
    EXPECT_EQ(bmp.Stride(), c.stride) << "width " << c.width;
  }
  TBitmap bmp(2, 2);
  bmp.SetPixel(1, 1, RGB(0x11, 0x22, 0x33));
  const std::uint8_t* p = bmp.ScanLine(1) + 3;
  EXPECT_EQ(p[0], 0x33);
  EXPECT_EQ(p[1], 0x22);
  EXPECT_EQ(p[2], 0x11);
  EXPECT_EQ(bmp.GetPixel(1, 1), 0x00332211u);
}

TEST(Bitmap, AccessOutsideIsHarmless) {
  TBitmap bmp(3, 3);
  bmp.SetPixel(3, 0, 0xFFFFFF);
  bmp.SetPixel(-1, 0, 0xFFFFFF);
  EXPECT_EQ(bmp.GetPixel(3, 0), clInvalid);
  EXPECT_EQ(bmp.GetPixel(0, -1), clInvalid);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(bmp.GetPixel(x, y), 0u);
}

TEST(Bitmap, SizeTooLargeToAllocateIsRefusedUpFront) {
  TBitmap bmp;
  EXPECT_THROW(bmp.SetSize(1 << 20, 1 << 20), std::length_error);
  EXPECT_TRUE(bmp.Empty());
  bmp.SetSize(0, 100);
  EXPECT_TRUE(bmp.Empty());
}

// Small bitmaps come from the heap, large ones are mapped from the system; both
// must start black to the last byte and copy as values.
TEST(Bitmap, StartsBlackAndCopiesAsAValueAtEverySize) {
  struct Case {
    int width, height;
  };
  for (Case c : {Case{2, 1}, Case{100, 30}, Case{300, 300}, Case{1024, 683}, Case{4000, 1000}}) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    TBitmap original(c.width, c.height);
    const std::size_t bytes = original.Stride() * std::size_t(c.height);
    const std::uint8_t* bits = original.Bits();
    EXPECT_EQ(std::count(bits, bits + bytes, 0), std::ptrdiff_t(bytes));

    original.SetPixel(c.width - 1, c.height - 1, RGB(1, 2, 3));
    TBitmap copy = original;
    EXPECT_TRUE(copy == original);
    copy.SetPixel(0, 0, RGB(9, 9, 9));
    EXPECT_FALSE(copy == original);
    EXPECT_EQ(original.GetPixel(0, 0), 0u);

    TBitmap moved = std::move(copy);
    EXPECT_EQ(moved.GetPixel(0, 0), RGB(9, 9, 9));
    EXPECT_EQ(moved.GetPixel(c.width - 1, c.height - 1), RGB(1, 2, 3));
    copy = original; // a moved-from bitmap takes a new value
    EXPECT_TRUE(copy == original);
  }
}

// Memory given back is handed out again: a new bitmap must never show the
// pixels of one dropped before it.
TEST(Bitmap, ANewBitmapNeverShowsAnEarlierOnesPixels) {
  for (int round = 0; round < 3; ++round) {
    for (int height : {100, 400, 900}) {
      TBitmap bmp(1000, height);
      const std::size_t bytes = bmp.Stride() * std::size_t(height);
      EXPECT_EQ(std::count(bmp.Bits(), bmp.Bits() + bytes, 0), std::ptrdiff_t(bytes))
          << "1000 x " << height << ", round " << round;
      std::fill(bmp.Bits(), bmp.Bits() + bytes, std::uint8_t(0xAB));
      bmp.SetSize(1000, height / 2);
      const std::size_t half = bmp.Stride() * std::size_t(height / 2);
      EXPECT_EQ(std::count(bmp.Bits(), bmp.Bits() + half, 0), std::ptrdiff_t(half));
      std::fill(bmp.Bits(), bmp.Bits() + half, std::uint8_t(0xCD));
    }
  }
}
