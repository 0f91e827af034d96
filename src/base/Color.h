// The value types every layer shares: a colour, a rectangle, a palette.
#pragma once

#include <array>
#include <cstdint>

// 0x00BBGGRR: red in the low byte.
using TColor = std::uint32_t;

constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr std::uint8_t GetRValue(TColor c) {
  return std::uint8_t(c);
}
constexpr std::uint8_t GetGValue(TColor c) {
  return std::uint8_t(c >> 8);
}
constexpr std::uint8_t GetBValue(TColor c) {
  return std::uint8_t(c >> 16);
}

// What a read outside a bitmap or surface gives, as a canvas does.
constexpr TColor clInvalid = 0xFFFFFFFFu;

// Right and bottom edges exclusive.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// Up to 256 colours: a colour table, or the palette a bitmap built from one carries.
struct TPalette {
  int Count = 0;
  std::array<TColor, 256> Colors{};
};
