// GIF decoding throughput: our reader against giflib's DGifGetLine on the same
// files, the three images of the encode benchmark written by giflib. Pixels
// count as bytes.
#include "gif/Gif.h"
#include "gif/GiflibEncode.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <random>
#include <span>
#include <stdexcept>
#include <vector>

namespace {

struct TIndexed {
  int Width = 0, Height = 0, Colors = 0;
  std::vector<std::uint8_t> Pixels;
};

// Lines of glyph-like cells: strokes of ink on background. With shades, the
// pixels bordering a stroke take one of 14 anti-aliasing levels. The same
// images as the encode benchmark's.
TIndexed TextImage(int Width, int Height, bool Shades) {
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

TIndexed RandomImage(int Width, int Height) {
  TIndexed img{Width, Height, 256, {}};
  std::mt19937 rng(7);
  img.Pixels.resize(std::size_t(Width) * std::size_t(Height));
  for (auto& p : img.Pixels)
    p = std::uint8_t(rng());
  return img;
}

std::vector<std::uint8_t> GiflibFile(const TIndexed& Img) {
  giflib_encode::TFile file;
  file.Width = Img.Width;
  file.Height = Img.Height;
  for (int i = 0; i < Img.Colors; ++i)
    file.GlobalColors.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
  giflib_encode::TImage image;
  image.Width = Img.Width;
  image.Height = Img.Height;
  image.Pixels = Img.Pixels;
  file.Images.push_back(std::move(image));
  return giflib_encode::Encode(file);
}

void Ours(benchmark::State& State, const std::vector<std::uint8_t>& File, const TIndexed& Img) {
  TGif gif;
  gif.LoadFromBytes(File);
  if (gif.GetImage(0).PixelIndices != Img.Pixels)
    throw std::runtime_error("our decoder gave other pixels");
  for (auto _ : State) {
    gif.LoadFromBytes(File);
    benchmark::DoNotOptimize(gif.GetImage(0).PixelIndices.data());
  }
  State.SetBytesProcessed(std::int64_t(State.iterations()) * Img.Width * Img.Height);
  State.counters["gif_bytes"] = double(File.size());
}

struct TSource {
  std::span<const std::uint8_t> Bytes;
  std::size_t At = 0;
};

int Read(GifFileType* Gif, GifByteType* Out, int N) {
  auto* src = static_cast<TSource*>(Gif->UserData);
  const std::size_t take = std::min(std::size_t(N), src->Bytes.size() - src->At);
  std::memcpy(Out, src->Bytes.data() + src->At, take);
  src->At += take;
  return int(take);
}

// The whole file, as our side reads it: open, screen, descriptor, every row.
void Giflib(benchmark::State& State, const std::vector<std::uint8_t>& File, const TIndexed& Img) {
  std::vector<std::uint8_t> pixels(Img.Pixels.size());
  for (auto _ : State) {
    TSource src{File};
    int error = 0;
    GifFileType* gif = DGifOpen(&src, Read, &error);
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (!gif || DGifGetRecordType(gif, &type) == GIF_ERROR || type != IMAGE_DESC_RECORD_TYPE ||
        DGifGetImageDesc(gif) == GIF_ERROR)
      throw std::runtime_error("giflib refused the file");
    for (int y = 0; y < Img.Height; ++y)
      if (DGifGetLine(gif, pixels.data() + std::size_t(y) * std::size_t(Img.Width), Img.Width) ==
          GIF_ERROR)
        throw std::runtime_error("giflib failed on a row");
    DGifCloseFile(gif, &error);
    benchmark::DoNotOptimize(pixels.data());
  }
  if (pixels != Img.Pixels) throw std::runtime_error("giflib gave other pixels");
  State.SetBytesProcessed(std::int64_t(State.iterations()) * Img.Width * Img.Height);
  State.counters["gif_bytes"] = double(File.size());
}

const bool Registered = [] {
  static const TIndexed text2 = TextImage(2000, 2000, false);
  static const TIndexed text16 = TextImage(2000, 2000, true);
  static const TIndexed random256 = RandomImage(1024, 1024);
  for (auto [name, img] :
       {std::pair{"text2", &text2}, {"text16", &text16}, {"random256", &random256}}) {
    static std::vector<std::vector<std::uint8_t>> files;
    files.reserve(3);
    const std::vector<std::uint8_t>& file = files.emplace_back(GiflibFile(*img));
    const std::string base = std::string("LzwDecode/") + name;
    benchmark::RegisterBenchmark((base + "/ours").c_str(), Ours, file, *img)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((base + "/giflib").c_str(), Giflib, file, *img)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

} // namespace
