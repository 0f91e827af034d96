// PNG writing and reading of real renderings, and the writing of a page's
// worth of small character images as PNG against the same as GIF.
#include "PngRenderings.h"
#include "gif/Gif.h"
#include "png/Png.h"

#include <benchmark/benchmark.h>

namespace {

const std::vector<bench::TNamedImage>& Renderings() {
  static const std::vector<bench::TNamedImage> all = bench::PngRenderings();
  return all;
}

// Each rendering by its index, named in the label.
void BM_EncodePng(benchmark::State& state) {
  const bench::TNamedImage& r = Renderings().at(std::size_t(state.range(0)));
  const TRgbaImage& image = r.Image;
  state.SetLabel(r.Name);
  std::size_t size = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> png = EncodePng(image);
    size = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * image.Width * image.Height);
  state.counters["png_bytes"] = double(size);
}

void BM_DecodePng(benchmark::State& state) {
  const bench::TNamedImage& r = Renderings().at(std::size_t(state.range(0)));
  const TRgbaImage& image = r.Image;
  state.SetLabel(r.Name);
  const std::vector<std::uint8_t> png = EncodePng(image);
  for (auto _ : state)
    benchmark::DoNotOptimize(DecodePng(png).Pixels.data());
  state.SetBytesProcessed(std::int64_t(state.iterations()) * image.Width * image.Height);
}

// The 224 characters of --fill all, one a line, cut into one image each, as
// the page of characters saves them.
std::vector<TBitmap> Characters() {
  TTextRasteriser rasteriser;
  const TBitmap all =
      rasteriser.RenderText(bench::PngSettings(AutoFillLines(afAllChars), 30), 96)->FPreview;
  const int count = 224, height = all.Height() / count;
  std::vector<TBitmap> cells;
  for (int i = 0; i < count; ++i) {
    TBitmap cell(all.Width(), height);
    for (int y = 0; y < height; ++y)
      std::copy_n(all.ScanLine(i * height + y), 3 * std::size_t(all.Width()), cell.ScanLine(y));
    cells.push_back(std::move(cell));
  }
  return cells;
}

void BM_PageOfCharacters(benchmark::State& state, bool png) {
  const std::vector<TBitmap> cells = Characters();
  std::vector<TRgbaImage> images;
  for (const TBitmap& cell : cells)
    images.push_back(bench::Opaque(cell));
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (std::size_t i = 0; i < cells.size(); ++i)
      bytes += png ? EncodePng(images[i]).size()
                   : TGif::CreateFromBitmap(cells[i])->SaveToBytes().size();
  }
  state.counters["bytes"] = double(bytes);
}

} // namespace

// As many as PngRenderings() makes.
BENCHMARK(BM_EncodePng)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PageOfCharacters, gif, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PageOfCharacters, png, true)->Unit(benchmark::kMillisecond);
