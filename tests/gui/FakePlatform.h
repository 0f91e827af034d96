// The platform the main window's tests hand it: dialogs answer as the test
// says, boxes and the beep are recorded, nothing reaches a screen or a shell.
#pragma once

#include "export/Export.h"
#include "render/Banner.h"
#include "widgets/WidgetPlatform.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TFakePlatform : IExportPlatform, IWidgetPlatform {
  std::vector<std::string> Errors;
  std::deque<std::optional<TColor>> Colors; // answers of the colour dialog; empty: cancel
  std::vector<TColor> ColorAsked;
  int Busy = 0;
  int BusyCalls = 0;
  int Beeps = 0;
  std::function<void()> WhileBusy;

  std::optional<std::string> SaveFileDialog(const TSaveFileRequest&) override { return {}; }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return {}; }
  void ErrorBox(const std::string& Text) override { Errors.push_back(Text); }
  void WarningBox(const std::string&) override {}
  bool ConfirmBox(const std::string&) override { return false; }
  void ShellOpen(const std::string&) override {}
  std::optional<TColor> ChooseColor(TColor Initial) override {
    ColorAsked.push_back(Initial);
    if (Colors.empty()) return std::nullopt;
    const std::optional<TColor> c = Colors.front();
    Colors.pop_front();
    return c;
  }
  void Beep() override { ++Beeps; }
  void SetBusy(bool On) override {
    Busy += On ? 1 : -1;
    ++BusyCalls;
    if (On && WhileBusy) WhileBusy();
  }
};

// Where the banner's links would open the desktop's browser.
struct TFakeShell : IBannerShell {
  std::vector<std::string> Opened;
  void OpenAddress(const std::string& Address) override { Opened.push_back(Address); }
};
