#include "gui/ProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>

TSaveProgressDialog::TSaveProgressDialog(QWidget* Parent, int AfterMs)
    : QProgressDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("SaveProgress"));
  setWindowTitle(tr("Saving"));
  // Never focused, never the default: Enter, Space or Escape typed at a box
  // that has just closed must not land on it.
  auto* cancel = new QPushButton(tr("Cancel"), this);
  cancel->setFocusPolicy(Qt::NoFocus);
  cancel->setAutoDefault(false);
  setCancelButton(cancel);
  // Modal over every window: nothing but "Cancel" may run inside the save.
  setWindowModality(Qt::ApplicationModal);
  qApp->installEventFilter(this);
  setMinimumDuration(AfterMs);
  setAutoReset(false);
  setAutoClose(false);
  setRange(0, 1);
  setValue(0); // starts the clock of minimumDuration
}

bool TSaveProgressDialog::Report(int Done, int Total) {
  if (Done >= Total) {
    // The save is done; a question that follows stands alone.
    FFinished = true;
    hide();
    return !wasCanceled();
  }
  if (maximum() != Total) setMaximum(Total);
  setLabelText(tr("Saved %1 of %2 files").arg(Done).arg(Total));
  // Once shown, a modal progress dialog handles pending events in setValue.
  setValue(Done);
  return !wasCanceled();
}

bool TSaveProgressDialog::BoxUp() {
  std::erase_if(FBoxes, [](const QPointer<QWidget>& Box) { return !Box || Box->isHidden(); });
  return !FBoxes.empty();
}

void TSaveProgressDialog::setVisible(bool Visible) {
  if (Visible && (FFinished || BoxUp())) {
    FWanted = !FFinished;
    return;
  }
  FWanted = false;
  QProgressDialog::setVisible(Visible);
}

bool TSaveProgressDialog::eventFilter(QObject* Watched, QEvent* Event) {
  const QEvent::Type type = Event->type();
  if (type != QEvent::Show && type != QEvent::Hide) return false;
  auto* window = qobject_cast<QWidget*>(Watched);
  if (!window || window == this || !window->isWindow() || !window->isModal()) return false;
  if (type == QEvent::Show) {
    if (std::find(FBoxes.begin(), FBoxes.end(), window) == FBoxes.end())
      FBoxes.emplace_back(window);
    if (isVisible()) {
      QProgressDialog::setVisible(false);
      FWanted = true;
    }
  } else if (FWanted && !BoxUp()) {
    setVisible(true);
  }
  return false;
}

void TSaveProgressDialog::keyPressEvent(QKeyEvent* Event) {
  Event->accept(); // Escape and Enter would cancel
}

void TSaveProgressDialog::closeEvent(QCloseEvent* Event) {
  // Alt+F4 or the window manager: only "Cancel" stops a save.
  if (Event->spontaneous()) {
    Event->ignore();
    return;
  }
  QProgressDialog::closeEvent(Event);
}
