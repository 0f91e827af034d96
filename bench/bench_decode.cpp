// GIF decoding throughput: our reader against giflib's DGifGetLine on the same
// files, the three images of the encode benchmark written by giflib. Pixels
// count as bytes.
//
// Hostile/*: files of about 10 MB made to cost time or memory (HostileGifs.h);
// each must load or fail within 0.5 s. bench/hostile_memory.sh runs each alone
// for its peak memory.
#include "BenchImages.h"
#include "gif/Gif.h"
#include "gif/GiflibEncode.h"
#include "gif/HostileGifs.h"

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

// One load of a hostile file, however it ends. The file is made when the
// benchmark runs, so a run of one benchmark holds only its own.
void Hostile(benchmark::State& State, std::vector<std::uint8_t> (*Make)()) {
  const std::vector<std::uint8_t> file = Make();
  int error = 0;
  for (auto _ : State) {
    TGif gif;
    try {
      gif.LoadFromBytes(file);
    } catch (const EInvalidGraphicOperation& e) {
      error = e.Code();
    }
    benchmark::DoNotOptimize(gif.ImageCount());
  }
  State.counters["file_MB"] = double(file.size()) / 1e6;
  State.counters["error"] = error;
}

constexpr std::size_t MB = 1000000;
using TMake = std::vector<std::uint8_t> (*)();
const std::pair<const char*, TMake> HostileFiles[] = {
    {"surplus_3MB_1x1", [] { return hostile_gifs::SurplusData(3 * MB, false); }},
    {"surplus_3MB_1x1_interlaced", [] { return hostile_gifs::SurplusData(3 * MB, true); }},
    {"surplus_10MB_1x1", [] { return hostile_gifs::SurplusData(10 * MB, false); }},
    {"surplus_10MB_1x1_interlaced", [] { return hostile_gifs::SurplusData(10 * MB, true); }},
    {"one_byte_sub_blocks_10MB", [] { return hostile_gifs::OneByteSubBlocks(5 * MB); }},
    {"tiny_local_tables_10MB", [] { return hostile_gifs::TinyLocalTables(10 * MB / 18); }},
    {"empty_comments_10MB", [] { return hostile_gifs::EmptyComments(10 * MB / 3); }},
};

const bool RegisteredHostile = [] {
  for (const auto& [name, make] : HostileFiles)
    benchmark::RegisterBenchmark((std::string("Hostile/") + name).c_str(), Hostile, make)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
  return true;
}();

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
