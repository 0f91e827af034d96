// TBitmap: the 24-bit raster that the rasteriser produces, the codec indexes
// and rebuilds, and the export cuts characters and lines out of.
//
// Memory: rows top row first, each pixel blue, green, red, each row padded to a
// multiple of 4 bytes. Colours are TColor, 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Color.h"
#include "base/ZeroedMemory.h"

class TBitmap {
public:
  // Largest pixel memory one bitmap may take; larger sizes throw
  // std::length_error before anything is allocated.
  static constexpr std::size_t MaxBytes = std::size_t(1) << 31;

  TBitmap() = default;
  TBitmap(int width, int height); // every pixel black
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;
  ~TBitmap() = default;

  // Resizes and clears to black. Negative sizes count as 0.
  void SetSize(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // Bytes from one row to the next: 3 * Width rounded up to a multiple of 4.
  std::size_t Stride() const { return FStride; }
  static std::size_t StrideFor(int width);

  // Row y (0 = top): Width pixels of blue, green, red.
  std::uint8_t* ScanLine(int y) { return FPixels.get() + std::size_t(y) * FStride; }
  const std::uint8_t* ScanLine(int y) const { return FPixels.get() + std::size_t(y) * FStride; }
  std::uint8_t* Bits() { return FPixels.get(); }
  const std::uint8_t* Bits() const { return FPixels.get(); }

  // Outside the bitmap: GetPixel gives clInvalid and SetPixel does nothing.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  void Fill(TColor color);

  bool Transparent = false;
  TColor TransparentColor = 0;
  std::shared_ptr<const TPalette> Palette;

  friend bool operator==(const TBitmap& a, const TBitmap& b);

private:
  int FWidth = 0;
  int FHeight = 0;
  std::size_t FStride = 0;
  TZeroedMemory FPixels; // FStride * FHeight bytes
};
