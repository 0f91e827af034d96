#include "gui/QtPlatform.h"

#include "gui/ProgressDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QUrl>

QColor ToQColor(TColor Color) {
  return QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color));
}

TColor FromQColor(const QColor& Color) {
  return RGB(std::uint8_t(Color.red()), std::uint8_t(Color.green()), std::uint8_t(Color.blue()));
}

QString QtFileFilter(const std::string& Filter) {
  const QStringList parts = QString::fromStdString(Filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString& pattern = parts[i + 1];
    if (description.contains(QLatin1Char('(') + pattern + QLatin1Char(')')))
      filters << description;
    else
      filters << description + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

QWidget* TQtPlatform::Owner() {
  QWidget* modal = QApplication::activeModalWidget();
  // A box of the save belongs to its dialog: the progress steps aside for it.
  while (qobject_cast<TSaveProgressDialog*>(modal))
    modal = modal->parentWidget();
  if (modal) return modal;
  return QApplication::activeWindow();
}

std::optional<std::string> TQtPlatform::SaveFileDialog(const TSaveFileRequest& Request) {
  QFileDialog dialog(Owner(), QString(), QString(), QtFileFilter(Request.Filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromStdString(Request.DefaultExt));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !Request.OverwritePrompt);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> TQtPlatform::BrowseForFolder(const std::string& Title) {
  const QString folder = QFileDialog::getExistingDirectory(Owner(), QString::fromStdString(Title),
                                                           QString(), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

void TQtPlatform::ErrorBox(const std::string& Text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), QString::fromStdString(Text),
                  QMessageBox::Ok, Owner());
  box.exec();
}

void TQtPlatform::WarningBox(const std::string& Text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), QString::fromStdString(Text),
                  QMessageBox::Cancel, Owner());
  box.exec();
}

bool TQtPlatform::ConfirmBox(const std::string& Text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), QString::fromStdString(Text),
                  QMessageBox::NoButton, Owner());
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == yes;
}

void TQtPlatform::ShellOpen(const std::string& FileName) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FileName)));
}

std::optional<TColor> TQtPlatform::ChooseColor(TColor Initial) {
  // Qt's own chooser always shows the custom colour part; a native one may not.
  QColorDialog dialog(ToQColor(Initial), Owner());
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return FromQColor(dialog.selectedColor());
}

void TQtPlatform::Beep() {
  QApplication::beep();
}

void TQtPlatform::SetBusy(bool Busy) {
  if (Busy) {
    if (FBusy++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (FBusy > 0) {
    if (--FBusy == 0) QApplication::restoreOverrideCursor();
  }
}
