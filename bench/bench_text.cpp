// The text layer alone: fontconfig start-up, glyph rasterising and drawing
// straight into a 24-bit surface.
#include "text/DC.h"
#include "text/FontDatabase.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// Characters 32 to 255 of Windows-1252, one per line, as UTF-8.
std::string AllCharacters() {
  static const char32_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string text;
  for (int c = 32; c < 256; ++c) {
    const char32_t cp = c >= 0x80 && c < 0xA0 ? high[c - 0x80] : char32_t(c);
    if (cp < 0x80) {
      text += char(cp);
    } else if (cp < 0x800) {
      text += char(0xC0 | (cp >> 6));
      text += char(0x80 | (cp & 0x3F));
    } else {
      text += char(0xE0 | (cp >> 12));
      text += char(0x80 | ((cp >> 6) & 0x3F));
      text += char(0x80 | (cp & 0x3F));
    }
    if (c < 255) text += "\r\n";
  }
  return text;
}

LOGFONT Font(int height) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWeight = FW_NORMAL;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lf.lfFaceName = "DejaVu Sans";
  return lf;
}

// Measures, fills and draws text and shadow, as a rendering does.
void DrawWithShadow(const TFontHandle& font, const std::string& text,
                    std::vector<std::uint8_t>& memory) {
  TDC dc;
  dc.SelectFont(font);
  TRect r{0, 0, 1, 1};
  DrawTextEx(dc, text, r, DT_CALCRECT | DT_NOPREFIX);
  const int d = 3, width = r.Right + d, height = r.Bottom + d;
  const int stride = (width * 3 + 3) & ~3;
  memory.resize(std::size_t(stride) * std::size_t(height));
  dc.SetPixels({memory.data(), width, height, stride, 24});
  FillRect(dc, {0, 0, width, height}, RGB(255, 255, 255));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(128, 128, 128));
  TRect shadow{d, d, r.Right + d, r.Bottom + d};
  DrawTextEx(dc, text, shadow, DT_CENTER | DT_NOCLIP | DT_NOPREFIX);
  dc.SetTextColor(RGB(0, 0, 0));
  DrawTextEx(dc, text, r, DT_CENTER | DT_NOCLIP | DT_NOPREFIX);
}

void Draw(benchmark::State& state, int height, const std::string& text) {
  std::vector<std::uint8_t> memory;
  DrawWithShadow(CreateFontIndirect(Font(height)), text, memory); // fills the glyph cache
  for (auto _ : state) {
    DrawWithShadow(CreateFontIndirect(Font(height)), text, memory);
    benchmark::DoNotOptimize(memory.data());
  }
  state.counters["bytes"] = double(memory.size());
}

void BM_AllCharacters30px(benchmark::State& state) {
  Draw(state, 30, AllCharacters());
}
void BM_AllCharacters200px(benchmark::State& state) {
  Draw(state, 200, AllCharacters());
}
void BM_Line80Characters1000px(benchmark::State& state) {
  std::string line;
  for (int i = 0; i < 80; ++i)
    line += char('A' + i % 26);
  Draw(state, 1000, line);
}

// Every iteration a size not cached: the glyphs are rasterised again.
void BM_AllCharacters30pxUncached(benchmark::State& state) {
  const std::string text = AllCharacters();
  std::vector<std::uint8_t> memory;
  int step = 0;
  for (auto _ : state) {
    DrawWithShadow(CreateFontIndirect(Font(30 + step++ % 16)), text, memory);
    benchmark::DoNotOptimize(memory.data());
  }
}

// What a command line pays before its first glyph: fontconfig's
// configuration and the members of one face.
void BM_FontDatabaseStartUp(benchmark::State& state) {
  for (auto _ : state) {
    text_detail::TFontDatabase db("");
    benchmark::DoNotOptimize(db.Members("DejaVu Sans"));
  }
}

} // namespace

BENCHMARK(BM_AllCharacters30px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllCharacters200px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Line80Characters1000px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllCharacters30pxUncached)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FontDatabaseStartUp)->Unit(benchmark::kMillisecond);
