// PNG files of RGBA images, on libspng: the writer picks the smallest lossless
// form of an image, the reader takes any PNG and refuses what is damaged or
// too large before allocating for it.
#pragma once

#include "raster/RgbaImage.h"

#include <cstdint>
#include <istream>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// What the reader refuses and the writer cannot write; the message starts "PNG: ".
class EPngError : public std::runtime_error {
public:
  using runtime_error::runtime_error;
};

// The smallest lossless PNG of Image, at 8 bits a channel or fewer: indexed
// (with tRNS when some alpha is below 255) when it has at most 256 distinct
// RGBA values (8-bit grey when they are more than 16 opaque greys), else RGB
// when every pixel is opaque, else RGBA. The same image always gives the same
// bytes. Throws EPngError for an empty image.
std::vector<std::uint8_t> EncodePng(const TRgbaImage& Image);

// The most pixels the reader decodes: 256 MiB of RGBA.
constexpr std::int64_t MaxDecodePixels = std::int64_t(1) << 26;

// Any valid PNG as 8-bit straight RGBA. Throws EPngError for bytes that are no
// PNG, a damaged or cut file, or one of more than MaxDecodePixels pixels (or
// 2^20 pixels wide).
TRgbaImage DecodePng(std::span<const std::uint8_t> Bytes);

struct TPngChunk {
  std::string Type;
  std::uint32_t Length = 0; // of its data
};

// What a PNG holds, as its header and chunks say.
struct TPngInfo {
  int Width = 0, Height = 0;
  int BitDepth = 0;
  int ColorType = 0; // 0 grey, 2 RGB, 3 indexed, 4 grey and alpha, 6 RGBA
  bool Interlaced = false;
  bool Alpha = false;            // an alpha channel or a tRNS chunk
  int PaletteSize = 0;           // PLTE entries; 0 without one
  std::vector<TPngChunk> Chunks; // in file order
};

// Reads the whole file, image data included, so what it describes is a PNG
// DecodePng accepts; throws EPngError as DecodePng does. The stream form reads
// from Stream's position up to the end of the PNG, with memory for one row.
TPngInfo InspectPng(std::span<const std::uint8_t> Bytes);
TPngInfo InspectPng(std::istream& Stream);

// Whether Bytes start with the 8-byte PNG signature.
bool LooksLikePng(std::span<const std::uint8_t> Bytes);
