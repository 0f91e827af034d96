// TFastDIB: an off-screen pixel surface in the device-independent bitmap
// layout, drawable through its own device context.
//
// Memory: RowCount rows of RowStride bytes (a multiple of 4). A positive
// Height stores the bottom row of the image first, as bitmap files do; a
// negative Height stores the top row first. A 24-bit pixel is blue, green, red.
// 16- and 32-bit pixels are packed by the channel masks in the colour table.
#pragma once

#include "base/ZeroedMemory.h"
#include "raster/Bitmap.h"
#include "text/DC.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

struct TBitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(TBitmapInfoHeader) == 40);

// Colour table entries are blue, green, red, reserved in memory order.
struct TBitmapInfo {
  TBitmapInfoHeader bmiHeader;
  std::array<std::uint32_t, 256> bmiColors{};
};
static_assert(sizeof(TBitmapInfo) == 1064);

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;

class TFastDIB {
public:
  // Largest pixel memory one surface may take, the same bound as TBitmap;
  // larger sizes throw std::length_error before anything is allocated.
  static constexpr std::size_t MaxBytes = TBitmap::MaxBytes;

  TFastDIB();
  ~TFastDIB();
  // The device context points into this surface's own memory.
  TFastDIB(const TFastDIB&) = delete;
  TFastDIB& operator=(const TFastDIB&) = delete;

  // A fresh surface is all zero bytes (black at 24 bits). Depth 0 means the
  // screen's, which here is 32 bits.
  void Allocate(int width, int height, int bitsPerPixel);
  // memory, when given, is used as the pixels and must hold Height rows of
  // the stride StrideFor(width, bitsPerPixel); the surface then has no DC.
  void AllocateEx(std::uint8_t* memory, int width, int height, int bitsPerPixel,
                  std::uint8_t redBits, std::uint8_t greenBits, std::uint8_t blueBits);
  void ReleaseResources();
  // The pixels go; the size, the font and the DC stay, the DC measuring only.
  void ReleasePixels();

  // Copies the whole surface unscaled to (x, y) of target, clipped to it.
  // A 24-bit surface arrives byte for byte; other depths are expanded.
  void CopyTo(TBitmap& target, int x, int y) const;

  void ApplyTextColor(TColor color);
  void SetTextTransparent(bool value);
  // Fills with BrushHandle, or with the brush selected into DC when the
  // surface has no brush of its own. Clipped to the surface.
  void FillArea(const TRect& rect);

  int Width() const { return Info.bmiHeader.biWidth; }
  int Height() const { return Info.bmiHeader.biHeight; }
  int BitsPerPixel() const { return Info.bmiHeader.biBitCount; }

  // Row y of the image counted from the top, whichever way rows are stored.
  std::uint8_t* ScanLine(int y) { return Rows[std::size_t(Height() > 0 ? RowCount - 1 - y : y)]; }
  const std::uint8_t* ScanLine(int y) const {
    return Rows[std::size_t(Height() > 0 ? RowCount - 1 - y : y)];
  }
  // Reads any depth as a colour; outside the surface gives clInvalid.
  TColor GetPixel(int x, int y) const;

  static int StrideFor(int width, int bitsPerPixel);
  static int TailFor(int width, int bitsPerPixel);

  // Over the surface's own memory at 24 and 32 bits; at other depths it
  // only measures. None with external memory.
  std::unique_ptr<TDC> DC;
  std::optional<TColor> BrushHandle; // a solid brush of this colour
  TFontHandle FontHandle;
  int RowStride = 0;
  int RowCount = 0;
  int RowTail = 0;
  std::uint8_t* Pixels = nullptr;
  std::uint32_t* ColorTable = nullptr;
  TBitmapInfo Info;
  std::uint8_t RedBits = 0, GreenBits = 0, BlueBits = 0;
  std::uint8_t RedShift = 0, GreenShift = 0, BlueShift = 0; // 8 - bits: lost low bits
  std::uint8_t GreenPos = 0, RedPos = 0;                    // bit positions in the pixel
  std::vector<std::uint8_t*> Rows; // memory order: Rows[0] is the first stored row
  bool UsesGdi = true;
  bool OwnsDC = false, OwnsPixels = false, OwnsBitmap = false;

private:
  void WritePixel(int x, int y, TColor color);
  TZeroedMemory FMemory;
};
