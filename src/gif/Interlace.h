// The row order of an interlaced image: four passes, each from its first row
// down in steps, a pass whose first row lies below the image holding no row.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct TInterlacePass {
  int FirstRow;
  int Step;
};

inline constexpr std::array<TInterlacePass, 4> InterlacePasses{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};

// Moves the rows of Pixels from the order an interlaced stream holds them to
// display order, in place.
void Deinterlace(std::vector<std::uint8_t>& Pixels, int Width, int Height);
