// giflib as the independent decoder the tests hold our writer to, for a GIF
// in memory or on disk. Test and benchmark use only.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

struct GiflibExtension {
  int Function = 0;
  std::vector<std::vector<std::uint8_t>> Blocks; // the first block, then the sub-blocks
};

struct GiflibImage {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Interlaced = false;
  std::vector<std::uint32_t> LocalColors;  // 0x00BBGGRR, empty without a local table
  std::vector<std::uint8_t> Pixels;        // display order, top row first
  std::vector<GiflibExtension> Extensions; // those standing before the image
};

struct GiflibGif {
  std::string Error; // empty when giflib read the whole stream
  std::string Version;
  int ScreenWidth = 0, ScreenHeight = 0;
  std::vector<std::uint32_t> GlobalColors;
  std::vector<GiflibImage> Images;
};

namespace giflib_detail {
struct Source {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
};
inline int Read(GifFileType* gif, GifByteType* out, int n) {
  auto* src = static_cast<Source*>(gif->UserData);
  const std::size_t take = std::min(std::size_t(n), src->bytes.size() - src->at);
  std::memcpy(out, src->bytes.data() + src->at, take);
  src->at += take;
  return int(take);
}
inline std::vector<std::uint32_t> Colors(const ColorMapObject* map) {
  std::vector<std::uint32_t> out;
  if (!map) return out;
  for (int i = 0; i < map->ColorCount; ++i) {
    const GifColorType& c = map->Colors[i];
    out.push_back(std::uint32_t(c.Red) | std::uint32_t(c.Green) << 8 | std::uint32_t(c.Blue) << 16);
  }
  return out;
}
} // namespace giflib_detail

inline GiflibGif GiflibDecode(std::span<const std::uint8_t> bytes) {
  using namespace giflib_detail;
  GiflibGif result;
  Source src{bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&src, Read, &error);
  if (!gif) {
    result.Error = GifErrorString(error);
    return result;
  }
  auto fail = [&](const char* where) {
    result.Error = std::string(where) + ": " + GifErrorString(gif->Error);
  };
  result.Version = std::string(reinterpret_cast<const char*>(bytes.data()), 6);
  result.ScreenWidth = gif->SWidth;
  result.ScreenHeight = gif->SHeight;
  result.GlobalColors = Colors(gif->SColorMap);
  std::vector<GiflibExtension> pending;
  for (GifRecordType type = UNDEFINED_RECORD_TYPE; type != TERMINATE_RECORD_TYPE;) {
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      fail("record type");
      break;
    }
    if (type == EXTENSION_RECORD_TYPE) {
      GiflibExtension ext;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &ext.Function, &block) == GIF_ERROR) {
        fail("extension");
        break;
      }
      while (block) {
        ext.Blocks.emplace_back(block + 1, block + 1 + block[0]);
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
          fail("extension block");
          block = nullptr;
        }
      }
      if (!result.Error.empty()) break;
      pending.push_back(std::move(ext));
    } else if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) == GIF_ERROR) {
        fail("image descriptor");
        break;
      }
      GiflibImage image;
      image.Left = gif->Image.Left;
      image.Top = gif->Image.Top;
      image.Width = gif->Image.Width;
      image.Height = gif->Image.Height;
      image.Interlaced = gif->Image.Interlace;
      image.LocalColors = Colors(gif->Image.ColorMap);
      image.Extensions = std::move(pending);
      pending.clear();
      image.Pixels.assign(std::size_t(image.Width) * std::size_t(image.Height), 0);
      std::vector<int> rows;
      if (image.Interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
          for (int y = start; y < image.Height; y += step)
            rows.push_back(y);
      } else {
        for (int y = 0; y < image.Height; ++y)
          rows.push_back(y);
      }
      for (int y : rows)
        if (DGifGetLine(gif, image.Pixels.data() + std::size_t(y) * std::size_t(image.Width),
                        image.Width) == GIF_ERROR) {
          fail("image data");
          break;
        }
      result.Images.push_back(std::move(image));
      if (!result.Error.empty()) break;
    }
  }
  DGifCloseFile(gif, &error);
  return result;
}

inline GiflibGif GiflibDecodeFile(const std::filesystem::path& Name) {
  std::ifstream in(Name, std::ios::binary);
  if (!in) {
    GiflibGif missing;
    missing.Error = "cannot open " + Name.string();
    return missing;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  return GiflibDecode(bytes);
}
