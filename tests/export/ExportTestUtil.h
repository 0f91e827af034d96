// GIF files read back with giflib, as a user's viewer sees them.
#pragma once

#include "support/Files.h"
#include "support/GiflibDecode.h"
#include "support/LibpngDecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// One saved GIF as a user's viewer sees it.
struct TSavedGif {
  int Width = 0, Height = 0;
  bool Transparent = false;
  int TransparentIndex = 0;
  std::vector<std::uint32_t> Colors;
  std::vector<std::uint8_t> Pixels;

  std::uint32_t At(int X, int Y) const {
    return Colors.at(Pixels.at(std::size_t(Y) * std::size_t(Width) + std::size_t(X)));
  }
  std::uint32_t TransparentColor() const { return Colors.at(std::size_t(TransparentIndex)); }
  std::set<std::uint32_t> UsedColors() const {
    std::set<std::uint32_t> used;
    for (std::uint8_t p : Pixels)
      used.insert(Colors.at(p));
    return used;
  }
};

inline TSavedGif ReadSavedGif(const std::string& Name) {
  const GiflibGif gif = GiflibDecodeFile(Name);
  TSavedGif saved;
  EXPECT_EQ(gif.Error, "") << Name;
  if (!gif.Error.empty() || gif.Images.size() != 1) {
    ADD_FAILURE() << Name << " holds " << gif.Images.size() << " images";
    return saved;
  }
  const GiflibImage& image = gif.Images[0];
  saved.Width = image.Width;
  saved.Height = image.Height;
  saved.Colors = image.LocalColors.empty() ? gif.GlobalColors : image.LocalColors;
  saved.Pixels = image.Pixels;
  for (const GiflibExtension& ext : image.Extensions)
    if (ext.Function == 0xF9 && !ext.Blocks.empty() && ext.Blocks[0].size() == 4) {
      saved.Transparent = ext.Blocks[0][0] & 1;
      saved.TransparentIndex = ext.Blocks[0][3];
    }
  return saved;
}

// A saved GIF or PNG as a viewer shows it: RGBA, the GIF's transparent index
// at alpha 0.
inline TRgbaImage ReadSavedImage(const std::string& Name) {
  const std::string bytes = ReadFile(Name);
  if (bytes.starts_with("\x89PNG")) {
    LibpngPng png = LibpngDecode(bytes);
    EXPECT_EQ(png.Error, "") << Name;
    return std::move(png.Image);
  }
  const TSavedGif gif = ReadSavedGif(Name);
  TRgbaImage image(gif.Width, gif.Height);
  for (int y = 0; y < gif.Height; ++y)
    for (int x = 0; x < gif.Width; ++x) {
      const std::uint32_t c = gif.At(x, y);
      const bool clear =
          gif.Transparent && gif.Pixels[std::size_t(y * gif.Width + x)] == gif.TransparentIndex;
      std::uint8_t* p = image.At(x, y);
      p[0] = std::uint8_t(c), p[1] = std::uint8_t(c >> 8), p[2] = std::uint8_t(c >> 16);
      p[3] = clear ? 0 : 255;
    }
  return image;
}
