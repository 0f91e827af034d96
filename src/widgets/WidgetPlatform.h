// What the input widgets need from the desktop, so their logic runs in tests
// without one.
#pragma once

class IWidgetPlatform {
public:
  virtual ~IWidgetPlatform() = default;
  // The desktop's default beep, for refused input.
  virtual void Beep() = 0;
};
