#include "gui/ProgressDialog.h"

TSaveProgressDialog::TSaveProgressDialog(QWidget* Parent, int AfterMs) : QProgressDialog(Parent) {
  setObjectName(QStringLiteral("SaveProgress"));
  setWindowTitle(tr("Saving"));
  setCancelButtonText(tr("Cancel"));
  // Modal over every window: nothing but "Cancel" may run inside the save.
  setWindowModality(Qt::ApplicationModal);
  setMinimumDuration(AfterMs);
  setAutoReset(false);
  setAutoClose(false);
  setRange(0, 1);
  setValue(0); // starts the clock of minimumDuration
}

bool TSaveProgressDialog::Report(int Done, int Total) {
  if (maximum() != Total) setMaximum(Total);
  setLabelText(tr("Saved %1 of %2 files").arg(Done).arg(Total));
  // Once shown, a modal progress dialog handles pending events in setValue.
  setValue(Done);
  return !wasCanceled();
}
