// The rendering of whole texts, from settings to the preview bitmap.
#include "render/AutoFill.h"
#include "render/Render.h"

#include <benchmark/benchmark.h>

namespace {

TRenderSettings Settings(std::vector<std::string> lines, double size) {
  TRenderSettings s;
  s.FaceName = "DejaVu Sans";
  s.Lines = std::move(lines);
  s.Size = size;
  s.AntiAlias = true;
  s.Shadow = true;
  s.ShadowDistance = 2;
  return s;
}

void Run(benchmark::State& state, const TRenderSettings& s, int Scale = 1) {
  TTextRasteriser rasteriser;
  // The first rendering loads the face and fills the glyph cache.
  rasteriser.RenderText(s, 96, {}, Scale);
  std::size_t pixels = 0;
  for (auto _ : state) {
    std::optional<TRenderResult> r = rasteriser.RenderText(s, 96, {}, Scale);
    pixels = std::size_t(r->FPreview.Width()) * std::size_t(r->FPreview.Height());
    benchmark::DoNotOptimize(r->FPreview.Bits());
  }
  state.counters["pixels"] = double(pixels);
}

void BM_AllChars30px(benchmark::State& state) {
  Run(state, Settings(AutoFillLines(afAllChars), 30));
}
void BM_AllChars30px2x(benchmark::State& state) {
  Run(state, Settings(AutoFillLines(afAllChars), 30), 2);
}
void BM_Heading48px(benchmark::State& state) {
  Run(state, Settings({"Glyptika: text to images for the web"}, 48));
}
void BM_Heading48px2x(benchmark::State& state) {
  Run(state, Settings({"Glyptika: text to images for the web"}, 48), 2);
}
void BM_AllChars200px(benchmark::State& state) {
  Run(state, Settings(AutoFillLines(afAllChars), 200));
}
// Italic glyphs overlap their neighbours, whose coverage is added up first.
void BM_AllChars200pxItalic(benchmark::State& state) {
  TRenderSettings s = Settings(AutoFillLines(afAllChars), 200);
  s.FaceName = "Liberation Serif";
  s.Italic = true;
  Run(state, s);
}
void BM_AllChars30pxNoShadow(benchmark::State& state) {
  TRenderSettings s = Settings(AutoFillLines(afAllChars), 30);
  s.Shadow = false;
  Run(state, s);
}
// The same 224 characters shaped (HarfBuzz, FriBidi) against one code point
// after another, and with every option off.
void BM_AllChars30pxShaped(benchmark::State& state) {
  TRenderSettings s = Settings(AutoFillLines(afAllChars), 30);
  s.Shaping = true;
  Run(state, s);
}
void BM_AllChars200pxShaped(benchmark::State& state) {
  TRenderSettings s = Settings(AutoFillLines(afAllChars), 200);
  s.Shaping = true;
  Run(state, s);
}
void BM_AllChars30pxNoOptions(benchmark::State& state) {
  TRenderSettings s = Settings(AutoFillLines(afAllChars), 30);
  s.Fallback = false;
  Run(state, s);
}
// 50 characters: at 1000 px a longer line passes the largest surface a rendering may take.
void BM_OneLine50Chars1000px(benchmark::State& state) {
  std::string line;
  for (int i = 0; i < 50; ++i)
    line += char('A' + i % 26);
  Run(state, Settings({line}, 1000));
}

} // namespace

BENCHMARK(BM_AllChars30px)->Unit(benchmark::kMillisecond);
// Twice the size for HiDPI screens: at most 4.5 times the 1x time.
BENCHMARK(BM_AllChars30px2x)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Heading48px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Heading48px2x)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllChars200px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllChars200pxItalic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllChars30pxNoShadow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllChars30pxShaped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllChars200pxShaped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllChars30pxNoOptions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneLine50Chars1000px)->Unit(benchmark::kMillisecond);
