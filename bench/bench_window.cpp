// The main window as a user feels it: a changed setting until the preview is
// painted again, and "Convert" until the colour table dialog shows. Runs on
// Qt's offscreen platform unless a display is given.
#include "gui/CTableWindow.h"
#include "gui/Master.h"
#include "gui/SpinEditWidget.h"
#include "render/AutoFill.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>

namespace {

struct TQuietPlatform : IExportPlatform, IWidgetPlatform {
  std::optional<std::string> SaveFileDialog(const TSaveFileRequest&) override { return {}; }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return {}; }
  void ErrorBox(const std::string& Text) override {
    std::fprintf(stderr, "error: %s\n", Text.c_str());
  }
  void WarningBox(const std::string&) override {}
  bool ConfirmBox(const std::string&) override { return false; }
  void ShellOpen(const std::string&) override {}
  std::optional<TColor> ChooseColor(TColor) override { return {}; }
  void Beep() override {}
};

// A shown main window filled with one of the auto-fill sets.
struct TWindow {
  TQuietPlatform Platform;
  TMaster Master{Platform, Platform};
  explicit TWindow(int AutoFillTag) {
    Master.show();
    QCoreApplication::processEvents();
    Master.PMenu->actions().at(AutoFillTag)->trigger();
    QCoreApplication::processEvents();
  }
};

// A click on "Underline" (which renders at once) until the visible part of the
// preview has been painted.
void SettingToPreview(benchmark::State& state, int AutoFillTag) {
  TWindow w(AutoFillTag);
  for (auto _ : state) {
    w.Master.CBUnder->click();
    w.Master.ScrollBox->viewport()->repaint();
  }
  state.counters["lines"] = double(w.Master.Rendering()->Lines.size());
  state.counters["pixels"] =
      double(w.Master.Rendering()->FPreview.Width()) * w.Master.Rendering()->FPreview.Height();
}

void BM_SettingToPreview_Caps30px(benchmark::State& state) {
  SettingToPreview(state, afCaps);
}
void BM_SettingToPreview_AllChars30px(benchmark::State& state) {
  SettingToPreview(state, afAllChars);
}

// "Convert" until the dialog is on the screen; then it is closed.
void BM_ConvertToDialog_AllChars30px(benchmark::State& state) {
  TWindow w(afAllChars);
  struct TShowWatch : QObject {
    std::chrono::steady_clock::time_point Shown;
    bool eventFilter(QObject* Watched, QEvent* Event) override {
      if (Event->type() == QEvent::Show) {
        Shown = std::chrono::steady_clock::now();
        auto* dialog = static_cast<QWidget*>(Watched);
        QTimer::singleShot(0, dialog, [dialog] { dialog->close(); });
      }
      return false;
    }
  } watch;
  w.Master.CTableWindow().installEventFilter(&watch);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    w.Master.bSave->click();
    state.SetIterationTime(std::chrono::duration<double>(watch.Shown - start).count());
  }
}

} // namespace

BENCHMARK(BM_SettingToPreview_Caps30px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettingToPreview_AllChars30px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToDialog_AllChars30px)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
