// The input widgets' platform on the Qt desktop.
#pragma once

#include "widgets/WidgetPlatform.h"

class TQtWidgetPlatform : public IWidgetPlatform {
public:
  void Beep() override;
};

// The one the windows use.
IWidgetPlatform& DesktopWidgetPlatform();
