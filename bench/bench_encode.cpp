// GIF encoding throughput: our writer against giflib's EGifPutLine on the same
// indexed images, and AddBitmap on 24-bit renderings. Pixels count as bytes.
#include "BenchImages.h"
#include "gif/Gif.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace {

using bench::RandomImage;
using bench::TextImage;
using Indexed = bench::TIndexed;

TColor Shade(int index, int colors) {
  const std::uint8_t v = std::uint8_t(255 - index * 255 / (colors - 1));
  return RGB(v, v, v);
}

std::unique_ptr<TGif> OurGif(const Indexed& img) {
  auto gif = TGif::CreateFromBitmap(TBitmap(1, 1));
  TGifColorTable& table = gif->GetColorTable(0);
  table.Count = img.Colors;
  for (int i = 0; i < img.Colors; ++i)
    table.Colors[std::size_t(i)] = Shade(i, img.Colors);
  gif->Screen().GlobalColorTableSize = img.Colors;
  TGifImageRecord& image = gif->GetImage(0);
  image.Width = img.Width;
  image.Height = img.Height;
  image.PixelCount = img.Width * img.Height;
  image.PixelIndices = img.Pixels;
  image.ColorTableSize = img.Colors;
  return gif;
}

void Ours(benchmark::State& state, const Indexed& img) {
  auto gif = OurGif(img);
  std::size_t size = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> out = gif->SaveToBytes();
    size = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * img.Width * img.Height);
  state.counters["gif_bytes"] = double(size);
}

int Sink(GifFileType* gif, const GifByteType* bytes, int n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + n);
  return n;
}

void Giflib(benchmark::State& state, const Indexed& img) {
  std::vector<GifColorType> colors(std::size_t(img.Colors));
  for (int i = 0; i < img.Colors; ++i) {
    const TColor c = Shade(i, img.Colors);
    colors[std::size_t(i)] = {GetRValue(c), GetGValue(c), GetBValue(c)};
  }
  std::vector<std::uint8_t> row(std::size_t(img.Width));
  std::size_t size = 0;
  for (auto _ : state) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, Sink, &error);
    ColorMapObject* map = GifMakeMapObject(img.Colors, colors.data());
    if (!gif || !map || EGifPutScreenDesc(gif, img.Width, img.Height, 8, 0, map) == GIF_ERROR ||
        EGifPutImageDesc(gif, 0, 0, img.Width, img.Height, false, nullptr) == GIF_ERROR)
      throw std::runtime_error("giflib refused the image");
    for (int y = 0; y < img.Height; ++y) {
      // EGifPutLine takes a non-const row.
      std::copy_n(img.Pixels.begin() + std::ptrdiff_t(y) * img.Width, img.Width, row.begin());
      if (EGifPutLine(gif, row.data(), img.Width) == GIF_ERROR)
        throw std::runtime_error("giflib failed on a row");
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    size = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * img.Width * img.Height);
  state.counters["gif_bytes"] = double(size);
}

TBitmap Rendering(const Indexed& img) {
  TBitmap b(img.Width, img.Height);
  for (int y = 0; y < img.Height; ++y)
    for (int x = 0; x < img.Width; ++x)
      b.SetPixel(
          x, y,
          Shade(img.Pixels[std::size_t(y) * std::size_t(img.Width) + std::size_t(x)], img.Colors));
  return b;
}

void AddBitmap(benchmark::State& state, const TBitmap& bitmap) {
  for (auto _ : state) {
    auto gif = TGif::CreateFromBitmap(bitmap);
    benchmark::DoNotOptimize(gif.get());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * bitmap.Width() * bitmap.Height());
}

const bool Registered = [] {
  static const Indexed text2 = TextImage(2000, 2000, false);
  static const Indexed text16 = TextImage(2000, 2000, true);
  static const Indexed random256 = RandomImage(1024, 1024);
  for (auto [name, img] :
       {std::pair{"text2", &text2}, {"text16", &text16}, {"random256", &random256}}) {
    const std::string base = std::string("LzwEncode/") + name;
    benchmark::RegisterBenchmark((base + "/ours").c_str(), Ours, *img)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((base + "/giflib").c_str(), Giflib, *img)
        ->Unit(benchmark::kMillisecond);
  }
  static const TBitmap render2 = Rendering(text2);
  static const TBitmap render16 = Rendering(text16);
  benchmark::RegisterBenchmark("AddBitmap/text2", AddBitmap, render2)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("AddBitmap/text16", AddBitmap, render16)
      ->Unit(benchmark::kMillisecond);
  return true;
}();

} // namespace
