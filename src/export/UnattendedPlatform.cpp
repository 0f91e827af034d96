#include "export/Export.h"

std::optional<std::string> TUnattendedPlatform::SaveFileDialog(const TSaveFileRequest&) {
  return SaveFileName;
}

std::optional<std::string> TUnattendedPlatform::BrowseForFolder(const std::string&) {
  return Folder;
}

void TUnattendedPlatform::ErrorBox(const std::string& Text) {
  Errors.push_back(Text);
}

void TUnattendedPlatform::WarningBox(const std::string& Text) {
  Warnings.push_back(Text);
}

bool TUnattendedPlatform::ConfirmBox(const std::string&) {
  return OpenResult;
}

void TUnattendedPlatform::ShellOpen(const std::string& FileName) {
  Opened.push_back(FileName);
}

std::optional<TColor> TUnattendedPlatform::ChooseColor(TColor) {
  return std::nullopt;
}
