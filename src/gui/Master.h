// TMaster: the main window. Its controls hold the render settings; it renders
// after every change that shows at once, paints the preview, fills the text
// with ready-made sets and opens the colour table dialog on "Convert".
//
// The controls are public members named as on the form, so tests drive them as
// a user would. Every event runs through Run: one handler at a time, and an
// exception ends the handler with an error box instead of reaching Qt.
#pragma once

#include "export/Export.h"
#include "gui/BannerStrip.h"
#include "render/FontCatalogue.h"
#include "render/Render.h"
#include "widgets/WidgetPlatform.h"
#include "widgets/WinXP.h"

#include <QWidget>

#include <memory>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;
class TCTableWindow;
class TColorSwatch;
class TPreviewBox;
class TmSpinEdit;

// The face the window is set in: Tahoma when installed, else fontconfig's
// stand-in for it; 11 pixels high whatever the screen's font scaling.
QFont MasterFont();

class TMaster : public QWidget {
  Q_OBJECT
public:
  static constexpr int ClientWidth = 493;
  static constexpr int ClientHeight = 264;

  TMaster(IExportPlatform& Platform, IWidgetPlatform& WidgetPlatform, QWidget* Parent = nullptr);
  // Banner: what the strip uses in place of the desktop's network, browser and site.
  TMaster(IExportPlatform& Platform, IWidgetPlatform& WidgetPlatform, const TBannerServices& Banner,
          QWidget* Parent = nullptr);
  ~TMaster() override;

  // The banner strip (its controls: PBaner, Image1, LabelWWW, PanelWeb, LWWW2).
  TBannerStrip* Banner;
  QFrame* PBaner;
  QLabel* Image1;
  QLabel* LabelWWW;
  QFrame* PanelWeb;
  QLabel* LWWW2;
  QTimer* Timer1;

  QLabel* Label1;
  QComboBox* FontList;
  QLabel* Label2;
  QComboBox* FontStyle;
  QLabel* Label6;
  QComboBox* CBWidth;
  QLabel* Label5;
  TmSpinEdit* SpinSize;
  QComboBox* CBUnit;
  TmSpinEdit* SWidth;
  QLabel* Label7;
  QCheckBox* cbShadow;
  QLabel* Label9;
  TmSpinEdit* SpinDist;
  QLabel* Label3;
  TColorSwatch* CFont;
  QLabel* Label4;
  TColorSwatch* CBg;
  QLabel* Label8;
  TColorSwatch* CShad;
  QCheckBox* CBUnder;
  QCheckBox* CBAnti;
  QCheckBox* CBShaping;   // "Kerning and shaping"
  QCheckBox* CBOverhangs; // "Keep overhangs"
  QToolButton* bLeft;
  QToolButton* bCenter;
  QToolButton* bRight;
  QButtonGroup* AlignGroup;
  QPushButton* bAFIll;
  QPlainTextEdit* RWords;
  QScrollArea* ScrollBox;
  TPreviewBox* PreView;
  QPushButton* bUpdate;
  QPushButton* bSave;
  QPushButton* BClose;
  QMenu* PMenu;

  // Event operations, as the controls run them (through Run).
  void FontListSelect();
  void CBAntiClick();
  void CFontMouseDown(TColorSwatch* Swatch);
  void bLeftClick(int Tag);
  void CBUnitSelect();
  void CBWidthSelect();
  void bAFIllClick();
  void AutoFillClick(int Tag);
  void bUpdateClick();
  void bSaveClick();
  void BCloseClick();
  void Timer1Timer();

  // The Windows version code of the system, for the anti-alias rule and the
  // banner request. Linux has no row of its own in the table of Windows
  // versions; it gets a code above 4, as every system drawing anti-aliased text.
  static constexpr int LinuxVersionCode = 200;
  int GetOsVersionCode() const { return LinuxVersionCode; }

  // The settings as the controls hold them now.
  TRenderSettings ReadSettings() const;
  // The screen's vertical dots per inch, for sizes in points.
  int LogPixelsY() const;
  TAlign FAlign() const { return FAlignValue; }
  // The last rendering with text; none before the first.
  const std::optional<TRenderResult>& Rendering() const { return FRendering; }
  TCTable& CTable() { return FCTable; }
  TCTableWindow& CTableWindow() { return *FCTableWindow; }
  // Renderings done so far (for tests and benchmarks).
  int RenderCount() const { return FRenderCount; }

  // Runs one event's work: refused while another handler runs (the colour
  // count lets paints through, and nothing else may start then); an exception
  // ends it with an error box.
  template <class F> void Run(F&& Work);

signals:
  // A rendering replaced the preview.
  void Rendered();

private:
  void CreateControls();
  void SetTabOrder();
  void FillFaces();
  void ReportException();
  // A change whose new value the control has not stored yet: render once the
  // event is done.
  void RenderLater();

  IExportPlatform& FPlatform;
  TTextRasteriser FRasteriser;
  std::optional<TRenderResult> FRendering;
  TStyleList FStyles;
  TAlign FAlignValue = TAlign::Left;
  TComponent FComponents; // the form as owner of its non-visual components
  TWinXP* WinXP;
  TCTable FCTable;
  std::unique_ptr<TCTableWindow> FCTableWindow;
  bool FRunning = false;
  bool FRenderPending = false;
  int FRenderCount = 0;
};

template <class F> void TMaster::Run(F&& Work) {
  if (FRunning) return;
  FRunning = true;
  try {
    Work();
  } catch (...) {
    ReportException();
  }
  FRunning = false;
}
