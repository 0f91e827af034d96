// The export's and the input widgets' platform on the Qt desktop: file and
// folder dialogs, message boxes, the colour chooser, the beep, the busy cursor
// and the desktop's handler for a saved page.
#pragma once

#include "export/Export.h"
#include "widgets/WidgetPlatform.h"

#include <QColor>
#include <QString>

class QWidget;

// TColor is 0x00BBGGRR.
QColor ToQColor(TColor Color);
TColor FromQColor(const QColor& Color);

// "Description|*.ext|..." pairs as a Qt file dialog filter; a description
// that does not show its pattern gets it in brackets ("GIF|*.gif" becomes
// "GIF (*.gif)").
QString QtFileFilter(const std::string& Filter);

class TQtPlatform : public IExportPlatform, public IWidgetPlatform {
public:
  std::optional<std::string> SaveFileDialog(const TSaveFileRequest& Request) override;
  std::optional<std::string> BrowseForFolder(const std::string& Title) override;
  void ErrorBox(const std::string& Text) override;
  void WarningBox(const std::string& Text) override;
  bool ConfirmBox(const std::string& Text) override;
  void ShellOpen(const std::string& FileName) override;
  std::optional<TColor> ChooseColor(TColor Initial) override;
  void Beep() override;
  // Nested: the cursor goes back when the outermost caller is done.
  void SetBusy(bool Busy) override;

private:
  // Dialogs and boxes belong to the window the user is in.
  static QWidget* Owner();
  int FBusy = 0;
};
