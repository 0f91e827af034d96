// An image with an alpha channel: what a format with real transparency is
// written from, and what a reader of one gives back.
//
// Memory: rows top row first, no padding, each pixel red, green, blue, alpha
// at 8 bits. Alpha is straight (not premultiplied): a pixel's colour is its
// own, whatever its coverage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TRgbaImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels; // 4 * Width * Height bytes

  TRgbaImage() = default;
  TRgbaImage(int W, int H) : Width(W), Height(H), Pixels(std::size_t(W) * std::size_t(H) * 4) {}

  bool Empty() const { return Width <= 0 || Height <= 0; }
  std::uint8_t* At(int X, int Y) {
    return Pixels.data() + (std::size_t(Y) * std::size_t(Width) + std::size_t(X)) * 4;
  }
  const std::uint8_t* At(int X, int Y) const {
    return Pixels.data() + (std::size_t(Y) * std::size_t(Width) + std::size_t(X)) * 4;
  }
  friend bool operator==(const TRgbaImage&, const TRgbaImage&) = default;
};
