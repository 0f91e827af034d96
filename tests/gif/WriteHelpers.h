// Building images of chosen pixels and code size, and reading back the raw
// image data our writer produced, for the encoder and writer tests.
#pragma once

#include "gif/Gif.h"

#include <cstdint>
#include <span>
#include <vector>

// One image of the given size, indices and code size, with a global table of
// `colors` entries (entry i is grey level i) and no extension blocks.
inline std::unique_ptr<TGif> MakeIndexedGif(int width, int height, std::vector<std::uint8_t> pixels,
                                            int codeSize, int colors = 256,
                                            bool interlaced = false) {
  auto gif = TGif::CreateFromBitmap(TBitmap(1, 1));
  TGifColorTable& table = gif->GetColorTable(0);
  table.Count = colors;
  for (int i = 0; i < 256; ++i)
    table.Colors[std::size_t(i)] = i < colors ? RGB(i, i, i) : 0;
  gif->Screen().GlobalColorTableSize = colors;
  TGifImageRecord& image = gif->GetImage(0);
  image.Width = width;
  image.Height = height;
  image.PixelCount = width * height;
  image.PixelIndices = std::move(pixels);
  image.CodeSize = codeSize;
  image.ColorTableSize = colors;
  image.Interlaced = interlaced;
  image.Extensions.reset();
  return gif;
}

// The joined data sub-blocks of the first image of a stream our writer made.
inline std::vector<std::uint8_t> FirstImageData(std::span<const std::uint8_t> gif) {
  std::size_t at = 13;
  if (gif[10] & 0x80) at += 3 * (std::size_t(2) << (gif[10] & 7));
  while (gif[at] == 0x21) { // extensions: label, then sub-blocks
    at += 2;
    while (gif[at] != 0)
      at += 1 + gif[at];
    ++at;
  }
  const std::uint8_t flags = gif[at + 9];
  at += 10;
  if (flags & 0x80) at += 3 * (std::size_t(2) << (flags & 7));
  ++at; // code size
  std::vector<std::uint8_t> data;
  while (gif[at] != 0) {
    data.insert(data.end(), gif.begin() + std::ptrdiff_t(at) + 1,
                gif.begin() + std::ptrdiff_t(at) + 1 + gif[at]);
    at += 1 + gif[at];
  }
  return data;
}

inline std::vector<std::uint8_t> EncodeImage(int width, int height,
                                             std::vector<std::uint8_t> pixels, int codeSize,
                                             bool interlaced = false) {
  auto gif = MakeIndexedGif(width, height, std::move(pixels), codeSize, 256, interlaced);
  return FirstImageData(gif->SaveToBytes());
}
