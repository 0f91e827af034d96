// The progress of a save that takes long: a modal QProgressDialog fed by the
// file count, which shows itself only once the save has run for a while.
#pragma once

#include <QProgressDialog>

class TSaveProgressDialog : public QProgressDialog {
  Q_OBJECT
public:
  static constexpr int ShowAfterMs = 500;

  explicit TSaveProgressDialog(QWidget* Parent, int AfterMs = ShowAfterMs);

  // The save's answer after each file: true to go on. While the dialog is up
  // this lets it paint and take the click on "Cancel", which stops the save
  // after the file just written.
  bool Report(int Done, int Total);
};
