#include "raster/Bitmap.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

TBitmap::TBitmap(int width, int height) {
  SetSize(width, height);
}

std::size_t TBitmap::StrideFor(int width) {
  return width <= 0 ? 0 : (std::size_t(width) * 3 + 3) & ~std::size_t(3);
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  const std::size_t stride = StrideFor(width);
  if (height > 0 && stride > MaxBytes / std::size_t(height))
    throw std::length_error("Image too large: " + std::to_string(width) + " x " +
                            std::to_string(height) + " pixels");
  TZeroedMemory pixels = AllocateZeroed(stride * std::size_t(height));
  if (pixels == nullptr && stride * std::size_t(height) != 0) throw std::bad_alloc();
  FPixels = std::move(pixels);
  FWidth = width;
  FHeight = height;
  FStride = stride;
}

TBitmap::TBitmap(const TBitmap& other)
    : Transparent(other.Transparent), TransparentColor(other.TransparentColor),
      Palette(other.Palette) {
  SetSize(other.FWidth, other.FHeight);
  if (FPixels) std::memcpy(FPixels.get(), other.FPixels.get(), FStride * std::size_t(FHeight));
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) *this = TBitmap(other);
  return *this;
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : Transparent(other.Transparent), TransparentColor(other.TransparentColor),
      Palette(std::move(other.Palette)), FWidth(std::exchange(other.FWidth, 0)),
      FHeight(std::exchange(other.FHeight, 0)), FStride(std::exchange(other.FStride, 0)),
      FPixels(std::move(other.FPixels)) {}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  Transparent = other.Transparent;
  TransparentColor = other.TransparentColor;
  Palette = std::move(other.Palette);
  FWidth = std::exchange(other.FWidth, 0);
  FHeight = std::exchange(other.FHeight, 0);
  FStride = std::exchange(other.FStride, 0);
  FPixels = std::move(other.FPixels);
  return *this;
}

bool operator==(const TBitmap& a, const TBitmap& b) {
  if (a.FWidth != b.FWidth || a.FHeight != b.FHeight) return false;
  const std::size_t bytes = a.FStride * std::size_t(a.FHeight);
  return bytes == 0 || std::memcmp(a.FPixels.get(), b.FPixels.get(), bytes) == 0;
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clInvalid;
  const std::uint8_t* p = ScanLine(y) + std::size_t(x) * 3;
  return RGB(p[2], p[1], p[0]);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  std::uint8_t* p = ScanLine(y) + std::size_t(x) * 3;
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
}

void TBitmap::Fill(TColor color) {
  for (int y = 0; y < FHeight; ++y)
    for (int x = 0; x < FWidth; ++x)
      SetPixel(x, y, color);
}
