#include "gui/QtWidgetPlatform.h"

#include <QApplication>

void TQtWidgetPlatform::Beep() {
  QApplication::beep();
}

IWidgetPlatform& DesktopWidgetPlatform() {
  static TQtWidgetPlatform platform;
  return platform;
}
