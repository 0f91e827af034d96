// Hand-made GIF streams for the reader's and decoder's structural tests.
#pragma once

#include "gif/Gif.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace read_gif_bytes {

using TBytes = std::vector<std::uint8_t>;

inline TBytes& operator<<(TBytes& Out, std::initializer_list<int> Bytes) {
  for (int b : Bytes)
    Out.push_back(std::uint8_t(b));
  return Out;
}

inline TBytes& operator<<(TBytes& Out, const TBytes& Bytes) {
  Out.insert(Out.end(), Bytes.begin(), Bytes.end());
  return Out;
}

// Codes packed least significant bit first, each with its own width.
inline TBytes PackCodes(const std::vector<std::pair<int, int>>& CodeWidths) {
  TBytes out;
  std::uint32_t bits = 0;
  int count = 0;
  for (auto [code, width] : CodeWidths) {
    bits |= std::uint32_t(code) << count;
    count += width;
    for (; count >= 8; count -= 8, bits >>= 8)
      out.push_back(std::uint8_t(bits));
  }
  if (count > 0) out.push_back(std::uint8_t(bits));
  return out;
}

// Every pixel as a root code behind a clear code of its own: valid LZW whose
// code width never grows, so tests can spell out any pixel sequence.
inline TBytes RootCodes(int CodeSize, const TBytes& Pixels, bool WithEnd = true) {
  const int clear = 1 << CodeSize;
  std::vector<std::pair<int, int>> codes;
  for (std::uint8_t p : Pixels) {
    codes.emplace_back(clear, CodeSize + 1);
    codes.emplace_back(p, CodeSize + 1);
  }
  if (WithEnd) codes.emplace_back(clear + 1, CodeSize + 1);
  return PackCodes(codes);
}

// Data cut into sub-blocks of at most 255 bytes, with the terminating 0.
inline TBytes SubBlocks(const TBytes& Data) {
  TBytes out;
  for (std::size_t i = 0; i < Data.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, Data.size() - i);
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), Data.begin() + long(i), Data.begin() + long(i + n));
  }
  out.push_back(0);
  return out;
}

// Signature and a logical screen of 16 x 16 with a global table of 4 entries:
// black, red, green, blue.
inline TBytes Header(const char* Signature = "GIF89a") {
  TBytes out(Signature, Signature + 6);
  out << std::initializer_list<int>{16, 0, 16, 0, 0x81, 0, 0};
  out << std::initializer_list<int>{0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  return out;
}

// An image descriptor at (0, 0) without a local table, then its data.
inline TBytes Image(int Width, int Height, int CodeSize, const TBytes& Data,
                    bool Interlaced = false) {
  TBytes out;
  out << std::initializer_list<int>{0x2C,        0,
                                    0,           0,
                                    0,           Width & 0xFF,
                                    Width >> 8,  Height & 0xFF,
                                    Height >> 8, Interlaced ? 0x40 : 0x00,
                                    CodeSize};
  out << SubBlocks(Data);
  return out;
}

// A whole GIF of one image.
inline TBytes OneImage(int Width, int Height, int CodeSize, const TBytes& Data,
                       bool Interlaced = false) {
  TBytes out = Header();
  out << Image(Width, Height, CodeSize, Data, Interlaced) << std::initializer_list<int>{0x3B};
  return out;
}

// The codec error a load raises, or 0 when it succeeds.
inline int LoadError(TGif& Gif, const TBytes& Bytes) {
  try {
    Gif.LoadFromBytes(Bytes);
  } catch (const EInvalidGraphicOperation& e) {
    return e.Code();
  }
  return 0;
}

} // namespace read_gif_bytes
