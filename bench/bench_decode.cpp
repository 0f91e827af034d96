// GIF decoding throughput: our reader against giflib's DGifGetLine on the same
// files, the three images of the encode benchmark written by giflib. Pixels
// count as bytes.
#include "BenchImages.h"
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

using bench::RandomImage;
using bench::TextImage;
using bench::TIndexed;

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
