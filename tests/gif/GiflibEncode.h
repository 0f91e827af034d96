// GIF files written by giflib's encoder, into memory: an outside writer for the
// reader's conformance tests and the decode benchmark. Test-only.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace giflib_encode {

struct TRgb {
  std::uint8_t R = 0, G = 0, B = 0;
};

// Kind is the label; Blocks are the sub-blocks in stream order (for a graphic
// control, plain text or application block the first is its fixed-size block).
struct TExtension {
  int Kind = 0;
  std::vector<std::vector<std::uint8_t>> Blocks;
};

struct TImage {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Interlaced = false;
  std::vector<TRgb> LocalColors;    // empty: the image uses the global table
  std::vector<std::uint8_t> Pixels; // display order, Width * Height
  std::vector<TExtension> Extensions;
};

struct TFile {
  int Width = 0, Height = 0;
  int ColorResolution = 8;
  int Background = 0;
  std::vector<TRgb> GlobalColors; // empty: no global table
  std::vector<TImage> Images;
  bool Gif89 = true;
};

namespace detail {

inline int Append(GifFileType* Gif, const GifByteType* Data, int Length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(Gif->UserData);
  out->insert(out->end(), Data, Data + Length);
  return Length;
}

inline ColorMapObject* MakeMap(const std::vector<TRgb>& Colors) {
  if (Colors.empty()) return nullptr;
  std::vector<GifColorType> entries;
  for (const TRgb& c : Colors)
    entries.push_back({c.R, c.G, c.B});
  ColorMapObject* map = GifMakeMapObject(int(entries.size()), entries.data());
  if (!map) throw std::runtime_error("giflib: colour count must be a power of two up to 256");
  return map;
}

inline void Check(int Result, const char* What) {
  if (Result != GIF_OK) throw std::runtime_error(std::string("giflib: ") + What + " failed");
}

} // namespace detail

// Rows of an interlaced image in the order the stream holds them.
inline std::vector<int> StreamRowOrder(int Height, bool Interlaced) {
  std::vector<int> rows;
  if (!Interlaced) {
    for (int y = 0; y < Height; ++y)
      rows.push_back(y);
    return rows;
  }
  static constexpr int Start[4] = {0, 4, 2, 1};
  static constexpr int Step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = Start[pass]; y < Height; y += Step[pass])
      rows.push_back(y);
  return rows;
}

inline std::vector<std::uint8_t> Encode(const TFile& File) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, detail::Append, &error);
  if (!gif) throw std::runtime_error("giflib: EGifOpen failed");
  struct TCloser {
    GifFileType* Gif;
    ~TCloser() {
      int e = 0;
      if (Gif) EGifCloseFile(Gif, &e);
    }
  } closer{gif};
  EGifSetGifVersion(gif, File.Gif89);

  ColorMapObject* global = detail::MakeMap(File.GlobalColors);
  const int screenResult = EGifPutScreenDesc(gif, File.Width, File.Height, File.ColorResolution,
                                             File.Background, global);
  GifFreeMapObject(global);
  detail::Check(screenResult, "EGifPutScreenDesc");

  for (const TImage& image : File.Images) {
    for (const TExtension& ext : image.Extensions) {
      detail::Check(EGifPutExtensionLeader(gif, ext.Kind), "EGifPutExtensionLeader");
      for (const auto& block : ext.Blocks)
        detail::Check(EGifPutExtensionBlock(gif, int(block.size()), block.data()),
                      "EGifPutExtensionBlock");
      detail::Check(EGifPutExtensionTrailer(gif), "EGifPutExtensionTrailer");
    }
    ColorMapObject* local = detail::MakeMap(image.LocalColors);
    const int descResult = EGifPutImageDesc(gif, image.Left, image.Top, image.Width, image.Height,
                                            image.Interlaced, local);
    GifFreeMapObject(local);
    detail::Check(descResult, "EGifPutImageDesc");
    std::vector<GifPixelType> row(std::size_t(image.Width));
    for (int y : StreamRowOrder(image.Height, image.Interlaced)) {
      const std::uint8_t* src = image.Pixels.data() + std::size_t(y) * std::size_t(image.Width);
      row.assign(src, src + image.Width);
      detail::Check(EGifPutLine(gif, row.data(), image.Width), "EGifPutLine");
    }
  }
  closer.Gif = nullptr;
  detail::Check(EGifCloseFile(gif, &error), "EGifCloseFile");
  return out;
}

// A graphic control block as giflib's callers write it.
inline TExtension GraphicControl(int Disposal, bool UserInput, bool Transparent, int Delay,
                                 int TransparentIndex) {
  const auto packed =
      std::uint8_t((Disposal & 7) << 2 | (UserInput ? 2 : 0) | (Transparent ? 1 : 0));
  return {GRAPHICS_EXT_FUNC_CODE,
          {{packed, std::uint8_t(Delay & 0xFF), std::uint8_t(Delay >> 8),
            std::uint8_t(TransparentIndex)}}};
}

} // namespace giflib_encode
