#include "raster/Bitmap.h"

#include <gtest/gtest.h>

#include <stdexcept>

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
