// glyptika: the main window and its colour table dialog.
//
// GLYPTIKA_FIRST_PAINT_SINCE_NS (for the start-up benchmark): nanoseconds of
// CLOCK_MONOTONIC when the program was launched; the program prints the
// milliseconds from then to its first painted window and quits.
#include "base/AtomicFile.h"
#include "gui/Application.h"
#include "gui/Master.h"
#include "gui/QtPlatform.h"

#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

class TFirstPaint : public QObject {
public:
  explicit TFirstPaint(long long LaunchedNs) : FLaunchedNs(LaunchedNs) {}

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::Paint && !FSeen) {
      FSeen = true;
      // After the paint event has been handled and the window flushed.
      QTimer::singleShot(0, [this] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long ns = now.tv_sec * 1000000000LL + now.tv_nsec;
        std::printf("first paint after %.1f ms\n", double(ns - FLaunchedNs) / 1e6);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(Watched, Event);
  }

private:
  long long FLaunchedNs;
  bool FSeen = false;
};

constexpr const char* Help = R"(Usage: glyptika [OPTION]...
Opens the main window of Glyptika, which turns text, set in any installed
font, into GIF or PNG images for web pages: one image of the whole text, one
image per line, or an HTML page of one small image per character.

Options:
  -h, --help       display this help and exit
  -V, --version    output version information and exit

Qt's own options (-platform NAME, -style NAME, -display DISPLAY, ...) are
accepted as well.

glyptika-cli does the same from a shell, without a window.
)";

constexpr const char* Version = "glyptika " GLYPTIKA_VERSION R"(
Copyright (c) 2026 The Glyptika developers
License MIT: <https://opensource.org/licenses/MIT>
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)";

// Answered before Qt starts, so that they work without a display (help2man
// and package tools run them on a build machine).
bool AnsweredWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const char* text = nullptr;
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h"))
      text = Help;
    else if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-V"))
      text = Version;
    if (text) {
      std::fputs(text, stdout);
      return true;
    }
  }
  return false;
}

} // namespace

int main(int argc, char** argv) {
  if (AnsweredWithoutWindow(argc, argv))
    return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
  // The window's icon and, on Wayland, its application id.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.glyptika.Glyptika"));
  TApplication app(argc, argv);
  RemoveTemporariesOnSignals();
  TQtPlatform platform;
  app.OnException = [&platform](const std::string& Message) { platform.ErrorBox(Message); };

  TMaster master(platform, platform);
  std::unique_ptr<TFirstPaint> firstPaint;
  if (const char* since = std::getenv("GLYPTIKA_FIRST_PAINT_SINCE_NS")) {
    firstPaint = std::make_unique<TFirstPaint>(std::atoll(since));
    master.installEventFilter(firstPaint.get());
  }
  master.show();
  return app.exec();
}
