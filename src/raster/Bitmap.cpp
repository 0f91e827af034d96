#include "raster/Bitmap.h"

#include <stdexcept>
#include <string>

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
  FPixels.assign(stride * std::size_t(height), 0);
  FWidth = width;
  FHeight = height;
  FStride = stride;
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
