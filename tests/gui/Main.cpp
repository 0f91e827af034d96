// The widget tests need a QApplication; without a display they run on Qt's
// offscreen platform (make test sets it; this default serves a direct run).
#include "gui/Application.h"

#include <QApplication>
#include <QString>

#include <gtest/gtest.h>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform cannot size windows to hints, and says so for every one.
void QuietOffscreen(QtMsgType Type, const QMessageLogContext& Context, const QString& Message) {
  if (Message.contains(QLatin1String("does not support propagateSizeHints"))) return;
  qtHandler(Type, Context, Message);
}

} // namespace

int main(int argc, char** argv) {
  qtHandler = qInstallMessageHandler(QuietOffscreen);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  // The program's own application object: its guard against exceptions is under test too.
  TApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
