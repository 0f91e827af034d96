// glyptika: the main window and its colour table dialog.
//
// GLYPTIKA_FIRST_PAINT_SINCE_NS (for the start-up benchmark): nanoseconds of
// CLOCK_MONOTONIC when the program was launched; the program prints the
// milliseconds from then to its first painted window and quits.
#include "gui/Application.h"
#include "gui/Master.h"
#include "gui/QtPlatform.h"

#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
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
