// A colour quantiser for bitmaps of more colours than a table holds: median
// cut, each box cut where the squared error of its two halves is least, and
// the box of most error cut first. No error diffusion: a flat area stays flat.
#pragma once

#include "base/Color.h"

#include <cstdint>
#include <span>
#include <vector>

struct TColorCount {
  TColor Color = 0;        // 0x00BBGGRR
  std::uint32_t Count = 0; // pixels of that colour
};

struct TQuantised {
  std::vector<TColor> Palette;
  std::vector<int> EntryOf; // for each colour given, in its order, its entry
};

// At most MaxColors (1 or more) entries for Colors, each the mean of its
// colours weighted by their counts; colours that fit are their own entries.
TQuantised MedianCut(std::span<const TColorCount> Colors, int MaxColors);

constexpr std::size_t MostKept = 8;

// At most MaxColors entries for an image of more colours: the colours of the
// first MostKept of Keep that the image holds, and as many of their blends
// (colours between two or three of them: anti-aliased edges) as leave the
// other colours enough entries, stay exact; the other colours share the
// remaining entries by MedianCut. No entry is the colour of another, so a
// kept colour is found by its value.
TQuantised KeepingPalette(std::span<const TColorCount> Colors, std::span<const TColor> Keep,
                          int MaxColors = 256);
