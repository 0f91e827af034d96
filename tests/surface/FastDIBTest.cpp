#include "surface/FastDIB.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

struct TStrideRow {
  const char* Name;
  int Bits, Width, Stride, Tail;
};

} // namespace

TEST(FastDIB, RowsArePaddedToFourBytesAtEveryDepth) {
  const TStrideRow rows[] = {
      {"1 bit, one pixel", 1, 1, 4, 3},
      {"1 bit, 33 pixels spill into a second word", 1, 33, 8, 3},
      {"1 bit, 32 pixels fill a word", 1, 32, 4, 0},
      {"4 bits, three pixels round up to two bytes", 4, 3, 4, 2},
      {"4 bits, eight pixels fill a word", 4, 8, 4, 0},
      {"8 bits, five pixels", 8, 5, 8, 3},
      {"16 bits, three pixels", 16, 3, 8, 2},
      {"24 bits, one pixel", 24, 1, 4, 1},
      {"24 bits, three pixels", 24, 3, 12, 3},
      {"24 bits, four pixels", 24, 4, 12, 0},
      {"24 bits, ten pixels", 24, 10, 32, 2},
      {"32 bits, never padded", 32, 7, 28, 0},
  };
  for (const TStrideRow& r : rows) {
    TFastDIB dib;
    dib.Allocate(r.Width, 3, r.Bits);
    EXPECT_EQ(dib.RowStride, r.Stride) << r.Name;
    EXPECT_EQ(dib.RowTail, r.Tail) << r.Name;
    EXPECT_EQ(dib.Info.bmiHeader.biSizeImage, std::uint32_t(3 * r.Stride)) << r.Name;
    ASSERT_EQ(dib.Rows.size(), 3u) << r.Name;
    EXPECT_EQ(dib.Rows[2] - dib.Rows[0], 2 * r.Stride) << r.Name;
  }
}

TEST(FastDIB, PositiveHeightStoresTheBottomRowFirst) {
  TFastDIB up;
  up.Allocate(2, 3, 24);
  up.BrushHandle = RGB(10, 20, 30);
  up.FillArea({0, 2, 2, 3}); // the image's bottom row
  EXPECT_EQ(up.Rows[0][0], 30) << "blue of the first stored row";
  EXPECT_EQ(up.Rows[0][2], 10) << "red of the first stored row";
  EXPECT_EQ(up.Rows[2][0], 0) << "the top row stays black";

  TFastDIB down;
  down.Allocate(2, -3, 24);
  down.BrushHandle = RGB(10, 20, 30);
  down.FillArea({0, 2, 2, 3});
  EXPECT_EQ(down.RowCount, 3);
  EXPECT_EQ(down.Rows[2][0], 30) << "top-down memory keeps the bottom row last";
  EXPECT_EQ(down.Rows[0][0], 0);
}

TEST(FastDIB, AllocatingTheSameSizeAgainKeepsMemoryAndPixels) {
  TFastDIB dib;
  dib.Allocate(5, 4, 24);
  dib.BrushHandle = RGB(1, 2, 3);
  dib.FillArea({0, 0, 5, 4});
  std::uint8_t* before = dib.Pixels;
  dib.Allocate(5, 4, 24);
  EXPECT_EQ(dib.Pixels, before);
  EXPECT_EQ(dib.GetPixel(4, 3), RGB(1, 2, 3));
  dib.Allocate(6, 4, 24);
  EXPECT_EQ(dib.GetPixel(4, 3), RGB(0, 0, 0)) << "a new size starts black";
}

TEST(FastDIB, CopyToDeliversExactlyTheSurfaceUnchanged) {
  TFastDIB dib;
  dib.Allocate(3, 2, 24);
  dib.BrushHandle = RGB(200, 100, 50);
  dib.FillArea({0, 0, 3, 2});
  dib.BrushHandle = RGB(1, 2, 3);
  dib.FillArea({2, 0, 3, 1}); // top right pixel

  TBitmap same(3, 2);
  dib.CopyTo(same, 0, 0);
  EXPECT_EQ(same.GetPixel(2, 0), RGB(1, 2, 3));
  EXPECT_EQ(same.GetPixel(2, 1), RGB(200, 100, 50));

  TBitmap larger(5, 4);
  larger.Fill(RGB(9, 9, 9));
  dib.CopyTo(larger, 1, 1);
  int covered = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      covered += larger.GetPixel(x, y) != RGB(9, 9, 9);
  EXPECT_EQ(covered, 6) << "exactly width x height pixels are written";
  EXPECT_EQ(larger.GetPixel(3, 1), RGB(1, 2, 3));

  TBitmap clipped(2, 2);
  dib.CopyTo(clipped, -1, 1); // partly outside: only what fits arrives
  EXPECT_EQ(clipped.GetPixel(1, 1), RGB(1, 2, 3));
  EXPECT_EQ(clipped.GetPixel(0, 0), RGB(0, 0, 0));
}

TEST(FastDIB, PackedPixelsFollowTheirChannelMasks) {
  struct Row {
    const char* Name;
    int Bits;
    std::uint8_t R, G, B;
    std::uint32_t RedMask, GreenMask, BlueMask, Compression;
  };
  const Row rows[] = {
      {"16 bits default 5-5-5", 16, 0, 0, 0, 0x7C00, 0x03E0, 0x001F, BI_RGB},
      {"16 bits 5-6-5", 16, 5, 6, 5, 0xF800, 0x07E0, 0x001F, BI_BITFIELDS},
      {"32 bits default 8-8-8", 32, 0, 0, 0, 0xFF0000, 0xFF00, 0xFF, BI_RGB},
      {"32 bits 10-11-11 reaches bit 31", 32, 10, 11, 11, 0xFFC00000, 0x003FF800, 0x7FF,
       BI_BITFIELDS},
  };
  for (const Row& r : rows) {
    TFastDIB dib;
    dib.AllocateEx(nullptr, 2, 2, r.Bits, r.R, r.G, r.B);
    EXPECT_EQ(dib.ColorTable[0], r.RedMask) << r.Name;
    EXPECT_EQ(dib.ColorTable[1], r.GreenMask) << r.Name;
    EXPECT_EQ(dib.ColorTable[2], r.BlueMask) << r.Name;
    EXPECT_EQ(dib.Info.bmiHeader.biCompression, r.Compression) << r.Name;
    dib.BrushHandle = RGB(255, 0, 255);
    dib.FillArea({0, 0, 2, 2});
    EXPECT_EQ(dib.GetPixel(1, 1), RGB(255, 0, 255)) << r.Name;
    TBitmap out(2, 2);
    dib.CopyTo(out, 0, 0);
    EXPECT_EQ(out.GetPixel(0, 0), RGB(255, 0, 255)) << r.Name;
  }
}

TEST(FastDIB, PaletteDepthsLookUpTheColourTable) {
  TFastDIB dib;
  dib.Allocate(9, 1, 1);
  dib.ColorTable[0] = 0x000000;
  dib.ColorTable[1] = 0x00FF8000; // red ff, green 80, blue 00
  dib.Rows[0][1] = 0x80;          // pixel 8, the first of the second byte
  EXPECT_EQ(dib.GetPixel(8, 0), RGB(0xFF, 0x80, 0));
  EXPECT_EQ(dib.GetPixel(7, 0), RGB(0, 0, 0));
}

TEST(FastDIB, ExternalMemoryIsUsedAndNotOwned) {
  std::uint8_t memory[2 * 8] = {};
  TFastDIB dib;
  dib.UsesGdi = false;
  dib.AllocateEx(memory, 2, 2, 24, 0, 0, 0);
  EXPECT_EQ(dib.Pixels, memory);
  EXPECT_FALSE(dib.OwnsPixels);
  EXPECT_EQ(dib.DC, nullptr);
  dib.BrushHandle = RGB(7, 8, 9);
  dib.FillArea({0, 0, 2, 2});
  EXPECT_EQ(memory[0], 9);
}

TEST(FastDIB, EmptyAndOversizedSurfacesAreSafe) {
  TFastDIB empty;
  empty.Allocate(0, 10, 24);
  empty.BrushHandle = RGB(1, 1, 1);
  empty.FillArea({0, 0, 100, 100}); // nothing to fill, nothing touched
  TBitmap target(4, 4);
  empty.CopyTo(target, 0, 0);
  EXPECT_EQ(target.GetPixel(0, 0), RGB(0, 0, 0));

  TFastDIB huge;
  EXPECT_THROW(huge.Allocate(1 << 20, 1 << 20, 24), std::length_error);
  EXPECT_EQ(huge.Pixels, nullptr);
  EXPECT_THROW(huge.Allocate(4, 4, 7), std::invalid_argument);

  TFastDIB kept;
  kept.Allocate(5, 4, 24);
  kept.BrushHandle = RGB(1, 2, 3);
  kept.FillArea({0, 0, 5, 4});
  EXPECT_THROW(kept.Allocate(1 << 20, 1 << 20, 24), std::length_error);
  EXPECT_EQ(kept.Width(), 5) << "a refused size leaves the surface as it was";
  EXPECT_EQ(kept.GetPixel(4, 3), RGB(1, 2, 3));
}

TEST(FastDIB, TextIsDrawnStraightIntoThePixels) {
  for (int bits : {24, 32}) {
    TFastDIB dib;
    dib.Allocate(40, 40, bits);
    ASSERT_NE(dib.DC, nullptr);
    dib.DC->SelectBrush(RGB(255, 255, 255));
    dib.FillArea({0, 0, 40, 40}); // no brush of its own: the DC's
    EXPECT_EQ(dib.GetPixel(39, 0), RGB(255, 255, 255)) << bits;
    dib.SetTextTransparent(true);
    dib.ApplyTextColor(RGB(0, 0, 0));
    TRect r{0, 0, 40, 40};
    DrawTextEx(*dib.DC, "M", r, DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
    TBitmap out(40, 40);
    dib.CopyTo(out, 0, 0);
    int black = 0, blackInTopHalf = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x)
        if (out.GetPixel(x, y) == RGB(0, 0, 0)) {
          ++black;
          blackInTopHalf += y < 20;
        }
    EXPECT_GT(black, 0) << bits;
    EXPECT_GT(blackInTopHalf, 0) << bits << ": the first line is at the top of the image";
  }
}
