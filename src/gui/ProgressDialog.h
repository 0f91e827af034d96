// The progress of a save that takes long: a modal QProgressDialog fed by the
// file count, which shows itself only once the save has run for a while.
//
// It never stands over another box: while any other modal window (an error
// box about a refused name, a question) is up it stays hidden, and comes back
// when that one goes. Keys do nothing to it, so a key meant for a box that has
// just closed cannot cancel the save; only a click on its "Cancel" does.
#pragma once

#include <QPointer>
#include <QProgressDialog>

#include <vector>

class TSaveProgressDialog : public QProgressDialog {
  Q_OBJECT
public:
  static constexpr int ShowAfterMs = 500;

  explicit TSaveProgressDialog(QWidget* Parent, int AfterMs = ShowAfterMs);

  // The save's answer after each file: true to go on. While the dialog is up
  // this lets it paint and take the click on "Cancel", which stops the save
  // after the file just written. Once Done reaches Total the dialog is gone
  // for good: what follows (the question about the result) is not its part.
  bool Report(int Done, int Total);

  void setVisible(bool Visible) override;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

private:
  bool BoxUp();

  std::vector<QPointer<QWidget>> FBoxes; // other modal windows shown meanwhile
  bool FWanted = false;                  // would be shown, but for a box
  bool FFinished = false;
};
