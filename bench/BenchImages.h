// The benchmark images shared by the encode and decode benchmarks: indexed
// pixels like rendered text (2 colours, or 16 with anti-aliased edges) and
// random noise over 256 colours.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace bench {

struct TIndexed {
  int Width = 0, Height = 0, Colors = 0;
  std::vector<std::uint8_t> Pixels;
};

// Lines of glyph-like cells: strokes of ink on background. With shades, the
// pixels bordering a stroke take one of 14 anti-aliasing levels.
inline TIndexed TextImage(int Width, int Height, bool Shades) {
  TIndexed img{Width, Height, Shades ? 16 : 2, {}};
  img.Pixels.assign(std::size_t(Width) * std::size_t(Height), 0);
  std::mt19937 rng(42);
  constexpr int CellW = 14, CellH = 24, LineH = 32;
  const int cols = Width / CellW, lines = Height / LineH;
  auto ink = [&](int x, int y) -> std::uint8_t& {
    return img.Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
  };
  for (int line = 0; line < lines; ++line)
    for (int col = 0; col < cols; ++col) {
      if (rng() % 7 == 0) continue; // a space
      const unsigned strokes = rng();
      const int x0 = col * CellW, y0 = line * LineH + 4;
      for (int y = 0; y < CellH; ++y)
        for (int x = 0; x < CellW; ++x) {
          const bool on = ((strokes & 1) && x >= 2 && x <= 4) ||
                          ((strokes & 2) && x >= 9 && x <= 11) ||
                          ((strokes & 4) && y >= 3 && y <= 5 && x >= 2 && x <= 11) ||
                          ((strokes & 8) && y >= 11 && y <= 13 && x >= 2 && x <= 11) ||
                          ((strokes & 16) && y >= 19 && y <= 21 && x >= 2 && x <= 11) ||
                          ((strokes & 32) && std::abs(x * CellH / CellW - y) <= 1);
          if (on) ink(x0 + x, y0 + y) = Shades ? 15 : 1;
        }
      if (!Shades) continue;
      for (int y = 1; y < CellH - 1; ++y)
        for (int x = 1; x < CellW - 1; ++x)
          if (ink(x0 + x, y0 + y) == 0 &&
              (ink(x0 + x - 1, y0 + y) == 15 || ink(x0 + x + 1, y0 + y) == 15 ||
               ink(x0 + x, y0 + y - 1) == 15 || ink(x0 + x, y0 + y + 1) == 15))
            ink(x0 + x, y0 + y) = std::uint8_t(1 + rng() % 14);
    }
  return img;
}

inline TIndexed RandomImage(int Width, int Height) {
  TIndexed img{Width, Height, 256, {}};
  std::mt19937 rng(7);
  img.Pixels.resize(std::size_t(Width) * std::size_t(Height));
  for (auto& p : img.Pixels)
    p = std::uint8_t(rng());
  return img;
}

} // namespace bench
