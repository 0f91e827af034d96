// The numeric spin edit as a Qt control: a QLineEdit with a narrow column of
// two arrow buttons inside its right edge. The value logic is TSpinEditCore
// (src/widgets); these classes feed it keys, typing, clicks and drags, and
// show what it decides.
//
//   TmSpinEdit         the edit; height 20, the text kept left of the arrows
//   TmSpinButton       the arrow column, 12 x 16 at height 20; the strip
//                      between the arrows drags the value (cursor "Plus_Minus")
//   TTimerSpeedButton  an arrow that keeps clicking while held: first repeat
//                      after 400 ms, then every 100 ms
#pragma once

#include "widgets/SpinEdit.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <functional>

class TTimerSpeedButton : public QAbstractButton {
  Q_OBJECT
public:
  static constexpr int FirstRepeatMs = 400;
  static constexpr int RepeatMs = 100;

  explicit TTimerSpeedButton(QWidget* Parent = nullptr);

  // 1 draws the up arrow, anything else the down arrow.
  int Tag = 0;
  bool AutoRepeat = false;
  // Every click, repeated ones included.
  std::function<void()> OnClick;
  // A left press, before the repeat starts.
  std::function<void()> OnMouseDown;

  // The repeat timer; null until the first press.
  QTimer* AutoTimer() const { return FAutoTimer; }
  // One tick of the repeat: clicks while the button is still held down. A click
  // that throws stops the repeat and the exception goes on.
  void AutoTimerTick();

  QSize sizeHint() const override { return {11, 7}; }

protected:
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;

private:
  void FireClick();
  void StopRepeat();

  QTimer* FAutoTimer = nullptr; // a child: freed with the button
  bool FHeld = false;           // the left button went down here and is not up yet
};

class TmSpinButton : public QWidget {
  Q_OBJECT
public:
  explicit TmSpinButton(QWidget* Parent = nullptr);

  TTimerSpeedButton* UpArrow() const { return FUpArrow; }
  TTimerSpeedButton* DownArrow() const { return FDownArrow; }
  // The arrow Space clicks when the column has the focus.
  TTimerSpeedButton* FocusedArrow() const { return FFocusedArrow; }
  void FocusArrow(TTimerSpeedButton* Arrow);

  // Takes the keyboard focus when an arrow is pressed; forgotten when it goes.
  QWidget* FocusControl() const { return FFocusControl; }
  void SetFocusControl(QWidget* Control) { FFocusControl = Control; }
  // Off by default: the column is reached by the mouse, its edit by the keyboard.
  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool On) { setFocusPolicy(On ? Qt::StrongFocus : Qt::NoFocus); }

  std::function<void()> OnUpClick;
  std::function<void()> OnDownClick;
  // Pixels the pointer moved up while dragging over the strip.
  std::function<void(int PixelsUp)> OnDrag;

  // Lays the arrows out in a column of the given size; never resizes the column.
  void PlaceArrows(int W, int H);

protected:
  void resizeEvent(QResizeEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

private:
  TTimerSpeedButton* MakeArrowButton(int Tag, const QString& Name);
  void ArrowClick(TTimerSpeedButton* Arrow);
  void ArrowMouseDown(TTimerSpeedButton* Arrow);
  bool CanFocus() const;

  TTimerSpeedButton* FUpArrow;
  TTimerSpeedButton* FDownArrow;
  TTimerSpeedButton* FFocusedArrow;
  QPointer<QWidget> FFocusControl;
  TSpinDrag FDrag;
};

class TmSpinEdit : public QLineEdit, private ISpinEditView {
  Q_OBJECT
public:
  // Platform: the beep; the desktop's unless a test hands in its own. The
  // decimal separator is the one of QLocale() when the edit is made.
  explicit TmSpinEdit(QWidget* Parent = nullptr);
  TmSpinEdit(IWidgetPlatform& Platform, QWidget* Parent = nullptr);
  ~TmSpinEdit() override;

  double Value() const { return FCore.Value(); }
  void SetValue(double X) { FCore.SetValue(X); }
  int AsInteger() const { return FCore.AsInteger(); }
  void SetAsInteger(int X) { FCore.SetAsInteger(X); }
  double MinValue() const { return FCore.MinValue(); }
  void SetMinValue(double X) { FCore.SetMinValue(X); }
  double MaxValue() const { return FCore.MaxValue(); }
  void SetMaxValue(double X) { FCore.SetMaxValue(X); }
  double Increment() const { return FCore.Increment(); }
  void SetIncrement(double X) { FCore.SetIncrement(X); }
  int Decimal() const { return FCore.Decimal(); }
  void SetDecimal(int N) { FCore.SetDecimal(N); }
  tTypeValue TypeValue() const { return FCore.TypeValue(); }
  void SetTypeValue(tTypeValue T) { FCore.SetTypeValue(T); }
  void RefreshText() { FCore.RefreshText(); }
  // Off: typing, paste and cut are refused; arrows, keys and the drag still work.
  bool EditorEnabled() const { return FCore.EditorEnabled(); }
  void SetEditorEnabled(bool On);
  // On: the value cannot change; a step beeps. (Use this, not setReadOnly.)
  bool ReadOnly() const { return FCore.ReadOnly(); }
  void SetReadOnly(bool On);
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool On) { FAutoSelect = On; }

  void StepUp() { FCore.StepUp(); }
  void StepDown() { FCore.StepDown(); }

  TmSpinButton* SpinButton() const { return FSpinButton; }
  const TSpinEditCore& Core() const { return FCore; }

  // The width that shows Text whole, left of the arrows, without scrolling.
  int WidthToShow(const QString& Text) const;
  // The width that shows every value between MinValue and MaxValue whole,
  // as an integer or with the decimals the value logic may show.
  int WidthForAnyValue() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  // On every change of the text, while Value() still holds the value from
  // before it; and once more after Enter.
  void Change();

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void inputMethodEvent(QInputMethodEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void ShowText(const std::string& Text) override;
  void ShowEnabled(bool Enabled) override;
  void UpdateEditRect();
  void UpdateEditable();
  int MinEditHeight() const;

  IWidgetPlatform& FPlatform;
  TSpinEditCore FCore;
  TmSpinButton* FSpinButton; // a child: freed with the edit
  bool FAutoSelect = true;
  // Focus came with a mouse press not yet delivered: on the text, or on the arrows.
  bool FMouseFocusPending = false;
};
