// GIF encoding throughput: our writer against giflib's EGifPutLine on the same
// indexed images, and AddBitmap on 24-bit renderings. Pixels count as bytes.
#include "gif/Gif.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace {

struct Indexed {
  int width = 0, height = 0, colors = 0;
  std::vector<std::uint8_t> pixels;
};

// Lines of glyph-like cells: strokes of ink on background. With shades, the
// pixels bordering a stroke take one of 14 anti-aliasing levels.
Indexed TextImage(int width, int height, bool shades) {
  Indexed img{width, height, shades ? 16 : 2, {}};
  img.pixels.assign(std::size_t(width) * std::size_t(height), 0);
  std::mt19937 rng(42);
  constexpr int CellW = 14, CellH = 24, LineH = 32;
  const int cols = width / CellW, lines = height / LineH;
  auto ink = [&](int x, int y) -> std::uint8_t& {
    return img.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
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
          if (on) ink(x0 + x, y0 + y) = shades ? 15 : 1;
        }
      if (!shades) continue;
      for (int y = 1; y < CellH - 1; ++y)
        for (int x = 1; x < CellW - 1; ++x)
          if (ink(x0 + x, y0 + y) == 0 &&
              (ink(x0 + x - 1, y0 + y) == 15 || ink(x0 + x + 1, y0 + y) == 15 ||
               ink(x0 + x, y0 + y - 1) == 15 || ink(x0 + x, y0 + y + 1) == 15))
            ink(x0 + x, y0 + y) = std::uint8_t(1 + rng() % 14);
    }
  return img;
}

Indexed RandomImage(int width, int height) {
  Indexed img{width, height, 256, {}};
  std::mt19937 rng(7);
  img.pixels.resize(std::size_t(width) * std::size_t(height));
  for (auto& p : img.pixels)
    p = std::uint8_t(rng());
  return img;
}

TColor Shade(int index, int colors) {
  const std::uint8_t v = std::uint8_t(255 - index * 255 / (colors - 1));
  return RGB(v, v, v);
}

std::unique_ptr<TGif> OurGif(const Indexed& img) {
  auto gif = TGif::CreateFromBitmap(TBitmap(1, 1));
  TGifColorTable& table = gif->GetColorTable(0);
  table.Count = img.colors;
  for (int i = 0; i < img.colors; ++i)
    table.Colors[std::size_t(i)] = Shade(i, img.colors);
  gif->Screen().GlobalColorTableSize = img.colors;
  TGifImageRecord& image = gif->GetImage(0);
  image.Width = img.width;
  image.Height = img.height;
  image.PixelCount = img.width * img.height;
  image.PixelIndices = img.pixels;
  image.ColorTableSize = img.colors;
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
  state.SetBytesProcessed(std::int64_t(state.iterations()) * img.width * img.height);
  state.counters["gif_bytes"] = double(size);
}

int Sink(GifFileType* gif, const GifByteType* bytes, int n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + n);
  return n;
}

void Giflib(benchmark::State& state, const Indexed& img) {
  std::vector<GifColorType> colors(std::size_t(img.colors));
  for (int i = 0; i < img.colors; ++i) {
    const TColor c = Shade(i, img.colors);
    colors[std::size_t(i)] = {GetRValue(c), GetGValue(c), GetBValue(c)};
  }
  std::vector<std::uint8_t> row(std::size_t(img.width));
  std::size_t size = 0;
  for (auto _ : state) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, Sink, &error);
    ColorMapObject* map = GifMakeMapObject(img.colors, colors.data());
    if (!gif || !map || EGifPutScreenDesc(gif, img.width, img.height, 8, 0, map) == GIF_ERROR ||
        EGifPutImageDesc(gif, 0, 0, img.width, img.height, false, nullptr) == GIF_ERROR)
      throw std::runtime_error("giflib refused the image");
    for (int y = 0; y < img.height; ++y) {
      // EGifPutLine takes a non-const row.
      std::copy_n(img.pixels.begin() + std::ptrdiff_t(y) * img.width, img.width, row.begin());
      if (EGifPutLine(gif, row.data(), img.width) == GIF_ERROR)
        throw std::runtime_error("giflib failed on a row");
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    size = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * img.width * img.height);
  state.counters["gif_bytes"] = double(size);
}

TBitmap Rendering(const Indexed& img) {
  TBitmap b(img.width, img.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      b.SetPixel(
          x, y,
          Shade(img.pixels[std::size_t(y) * std::size_t(img.width) + std::size_t(x)], img.colors));
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
