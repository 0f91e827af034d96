// The window of the colour table dialog, "Color table & type Save ": a view
// over TCTable, which holds the image, the grid's colours and the choices.
//
// The window reads the core when it is shown and writes every choice back at
// once, so the choices, boxes and mask survive from one showing to the next
// in the core. Every handler catches what the core throws and shows it in the
// platform's error box: nothing unwinds through Qt's event loop.
#pragma once

#include "export/Export.h"

#include <QDialog>
#include <QImage>

#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class TCTableGrid;
class TCTablePreview;

class TCTableWindow : public QDialog {
  Q_OBJECT
public:
  TCTableWindow(TCTable& Core, IExportPlatform& Platform, QWidget* Parent = nullptr);
  ~TCTableWindow() override;

  // RS1, the HTML page: the main window turns it off for a rendering with a shadow.
  void SetHtmlEnabled(bool Enabled);
  // Shows the dialog modally (after the caller ran Core.Prepare); returns when
  // it closes. The core's image is released then.
  void Execute();

  // How long a save runs before its progress dialog shows.
  int ProgressAfterMs;

protected:
  void keyPressEvent(QKeyEvent* Event) override;

private:
  void CreateControls();
  void ConnectControls();
  void SetTabOrder();
  // The core's state into the controls, before a showing.
  void ReadCore();
  void FillGrid();
  void UpdatePreview();
  void EnableGroups();
  // The window's captions that name the image format, and the core's again.
  void ShowFormatCaptions();
  // Widens what a caption would not fit, then fixes the client size.
  void FitCaptions();

  void BChColorClick(int Row, int Col);
  void CBTransparentClick(bool Ticked);
  void CBFormatChange(TImageFormat Format);
  void RS2Click(TSaveKind Kind);
  void BSaveClick();

  // Runs Handler; whatever it throws goes to the error box.
  template <class F> void Guarded(F&& Handler);

  TCTable& FCore;
  IExportPlatform& FPlatform;
  bool FHtmlEnabled = true;

  QScrollArea* ScrollBox1 = nullptr;
  TCTablePreview* PBox = nullptr;
  QLabel* Label1 = nullptr;
  TCTableGrid* CGrid = nullptr;
  QCheckBox* CBTransparent = nullptr;
  QLabel* LFormat = nullptr;
  QComboBox* CBFormat = nullptr;
  QCheckBox* CB2x = nullptr;
  QFrame* Bevel1 = nullptr;
  QRadioButton* RS1 = nullptr;
  QWidget* Panel2 = nullptr;
  QRadioButton* RBJS1 = nullptr;
  QRadioButton* RBJS2 = nullptr;
  QFrame* Bevel2 = nullptr;
  QWidget* Panel1 = nullptr;
  QRadioButton* RBNC = nullptr;
  QRadioButton* RBNAS = nullptr;
  QFrame* Bevel3 = nullptr;
  QCheckBox* CBSS = nullptr;
  QCheckBox* CBAlt = nullptr;
  QRadioButton* RS3 = nullptr;
  QRadioButton* RS2 = nullptr;
  QLabel* Lmask = nullptr;
  QLineEdit* Emask = nullptr;
  QLabel* LHint = nullptr;
  QPushButton* BSave = nullptr;
  QPushButton* bClose = nullptr;
  std::vector<QButtonGroup*> FRadioGroups; // RS1-RS3, RBJS1-RBJS2, RBNC-RBNAS
};
