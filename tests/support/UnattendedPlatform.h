// The platform of a run without a user: the dialogs answer with given paths,
// boxes are collected, nothing is opened, the colour dialog is cancelled.
#pragma once

#include "export/Export.h"

#include <optional>
#include <string>
#include <vector>

class TUnattendedPlatform : public IExportPlatform {
public:
  std::optional<std::string> SaveFileName; // answer of SD
  std::optional<std::string> Folder;       // answer of the folder picker
  bool OpenResult = false;                 // answer to "Open result file?"
  std::vector<std::string> Errors, Warnings, Opened;

  std::optional<std::string> SaveFileDialog(const TSaveFileRequest&) override {
    return SaveFileName;
  }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return Folder; }
  void ErrorBox(const std::string& Text) override { Errors.push_back(Text); }
  void WarningBox(const std::string& Text) override { Warnings.push_back(Text); }
  bool ConfirmBox(const std::string&) override { return OpenResult; }
  void ShellOpen(const std::string& FileName) override { Opened.push_back(FileName); }
  std::optional<TColor> ChooseColor(TColor) override { return std::nullopt; }
  void Beep() override {}
};
