// Writes the seed corpus of fuzz_png_load with our own writer: one PNG of each
// form it picks (indexed at 1 and 8 bits, with and without tRNS, RGB, RGBA).
// Usage: make_png_seeds <folder>
#include "png/Png.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

TRgbaImage Pattern(int Width, int Height, int Colours, bool Translucent) {
  TRgbaImage image(Width, Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const int c = (x / 3 + y) % Colours;
      std::uint8_t* p = image.At(x, y);
      p[0] = std::uint8_t(c * 47), p[1] = std::uint8_t(c * 13), p[2] = std::uint8_t(c / 256 * 99);
      p[3] = Translucent ? std::uint8_t(255 - c % 4 * 60) : 255;
    }
  return image;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const struct {
    const char* Name;
    TRgbaImage Image;
  } seeds[] = {{"indexed-1bit", Pattern(12, 5, 2, false)},
               {"indexed-trns", Pattern(20, 6, 40, true)},
               {"rgb", Pattern(30, 9, 400, false)},
               {"rgba", Pattern(30, 9, 400, true)}};
  for (const auto& seed : seeds) {
    const std::vector<std::uint8_t> bytes = EncodePng(seed.Image);
    std::ofstream(std::string(argv[1]) + "/" + seed.Name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  return 0;
}
