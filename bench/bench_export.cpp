// The two saves that write many files: the HTML page of the 224 characters
// of "All font chars" and one GIF per line of a long text, both at 30 px.
// The files go below TMPDIR (default /tmp): TMPDIR=/dev/shm leaves the disk's
// inode allocation out of the figures.
#include "export/Export.h"
#include "export/RenderSource.h"
#include "render/AutoFill.h"
#include "render/Render.h"
#include "support/UnattendedPlatform.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/resource.h>

namespace {

class TBenchDir {
public:
  TBenchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "glyptika-bench-XXXXXX");
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
  }
  ~TBenchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  std::string Path() const { return FPath.string() + "/"; }

private:
  std::filesystem::path FPath;
};

TRenderResult Render(std::vector<std::string> Lines) {
  TRenderSettings settings;
  settings.FaceName = "DejaVu Sans";
  settings.Size = 30;
  settings.Lines = std::move(Lines);
  std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(settings, 96);
  if (!rendering) throw std::runtime_error("nothing rendered");
  return std::move(*rendering);
}

double PeakMiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

// A fresh folder per run, as a first export makes; or the same one, so every
// file replaces the one of the run before.
std::string RunFolder(const TBenchDir& Dir, bool Fresh, int& Run) {
  if (!Fresh) return Dir.Path();
  const std::string folder = Dir.Path() + "run" + std::to_string(Run++) + "/";
  std::filesystem::create_directory(folder);
  return folder;
}

void HtmlExport(benchmark::State& state, bool Script, bool Fresh,
                TImageFormat Format = TImageFormat::Gif, int Scale = 1, bool Transparent = false) {
  const TRenderResult rendering = Render(AutoFillLines(afAllChars));
  TBenchDir dir;
  std::size_t files = 0;
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string folder = RunFolder(dir, Fresh, run);
    state.ResumeTiming();
    TCTable table;
    table.Choices.IncludeScript = Script;
    table.Choices.WriteSize = true;
    table.Choices.WriteAlt = true;
    table.Choices.Format = Format;
    table.Choices.Scale = Scale;
    table.Prepare(ExportSourceOf(rendering));
    table.CBTransparentClick(Transparent);
    TUnattendedPlatform platform;
    platform.SaveFileName = folder + "page.html";
    files = table.BSaveClick(platform).Written.size();
  }
  state.counters["files"] = double(files);
  state.counters["peak_MiB"] = PeakMiB();
}

void PrepareAllChars(benchmark::State& state) {
  const TRenderResult rendering = Render(AutoFillLines(afAllChars));
  for (auto _ : state) {
    TCTable table;
    table.Prepare(ExportSourceOf(rendering));
    benchmark::DoNotOptimize(table.ColorCount());
  }
}

// 4000 lines: 5000 of them at 30 px pass the largest surface a rendering may take.
std::vector<std::string> ManyLines() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 4000; ++i)
    lines.push_back("Line " + std::to_string(i) + " of the text");
  return lines;
}

void PrepareManyLines(benchmark::State& state) {
  const TRenderResult rendering = Render(ManyLines());
  for (auto _ : state) {
    TCTable table;
    table.Prepare(ExportSourceOf(rendering));
    benchmark::DoNotOptimize(table.ColorCount());
  }
  state.counters["peak_MiB"] = PeakMiB();
}

void LinesExport(benchmark::State& state, bool Fresh) {
  const TRenderResult rendering = Render(ManyLines());
  TBenchDir dir;
  std::size_t files = 0;
  // The save alone: preparing an image of this size is the codec's work.
  TCTable table;
  table.Choices.Save = TSaveKind::Lines;
  table.Choices.Mask = "line%n.gif";
  table.Prepare(ExportSourceOf(rendering));
  TUnattendedPlatform platform;
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    platform.Folder = RunFolder(dir, Fresh, run);
    state.ResumeTiming();
    files = table.BSaveClick(platform).Written.size();
  }
  state.counters["files"] = double(files);
  state.counters["image_Mpx"] =
      double(rendering.FPreview.Width()) * rendering.FPreview.Height() / 1e6;
  state.counters["peak_MiB"] = PeakMiB();
}

// The rendering to an indexed image as Prepare makes it, for 30 lines at
// 48 px in blue with a shadow: with colour emoji (over 256 colours, which are
// quantised) and with letters in their place (exact colours).
void Convert(benchmark::State& state, bool Emoji) {
  TRenderSettings settings;
  settings.FaceName = "DejaVu Sans";
  settings.Size = 48;
  settings.Shaping = true;
  settings.TextColor = 0x996633;
  settings.Shadow = true;
  settings.ShadowDistance = 2;
  settings.ShadowColor = 0x00CCFF;
  const std::string line = Emoji ? "Hi \U0001F44D\U0001F3FD \U0001F468\u200D\U0001F469\u200D"
                                   "\U0001F467 \U0001F1EB\U0001F1F7 and text"
                                 : "Hi OK fam FR and text";
  settings.Lines.assign(30, line);
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(settings, 96);
  if (!rendering) throw std::runtime_error("nothing rendered");
  const TExportSource source = ExportSourceOf(*rendering);
  int colors = 0;
  for (auto _ : state) {
    auto gif = TGif::CreateFromBitmap(rendering->FPreview, source.KeepColors);
    colors = gif->GetColorTable(0).Count;
  }
  state.counters["entries"] = colors;
  state.counters["image_Mpx"] =
      double(rendering->FPreview.Width()) * rendering->FPreview.Height() / 1e6;
}

} // namespace

BENCHMARK_CAPTURE(Convert, letters_48px, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, emoji_48px, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HtmlExport, all224_30px_plain, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HtmlExport, all224_30px_script, true, true)->Unit(benchmark::kMillisecond);
// The same page in PNG, against the GIF page above: at most twice its time.
BENCHMARK_CAPTURE(HtmlExport, all224_30px_plain_png, false, true, TImageFormat::Png)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HtmlExport, all224_30px_plain_png_transparent, false, true, TImageFormat::Png, 1,
                  true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HtmlExport, all224_30px_plain_gif_and_2x, false, true, TImageFormat::Gif, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HtmlExport, all224_30px_plain_png_and_2x, false, true, TImageFormat::Png, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HtmlExport, all224_30px_plain_overwrite, false, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PrepareAllChars)->Unit(benchmark::kMillisecond);
BENCHMARK(PrepareManyLines)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(LinesExport, lines4000_30px, true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(LinesExport, lines4000_30px_overwrite, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
