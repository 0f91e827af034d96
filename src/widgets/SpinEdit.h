// The numeric spin edit without its window: the value beside the text, the
// bounds, the formatting, the parse of what the user typed, the key filter,
// the steps and the drag.
//
// The value is a double kept beside the text; the two may disagree between a
// typed change (held as typed, unbounded) and the next CommitText (Enter or
// leaving the field). Every change of the text, typed or set here, runs the
// change handling: OnChange first, while Value still holds the old value, then
// the parse of the text into Value.
//
// The window (src/gui) shows the text through ISpinEditView and feeds typed
// changes back through TextChanged; the beep comes from IWidgetPlatform. The
// user's decimal separator is handed in, so the logic runs under any locale.
#pragma once

#include "widgets/WidgetPlatform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

enum class tTypeValue : std::uint8_t {
  ttInteger = 0, // the value rounded to an integer, ties to even
  ttDouble = 1,  // fixed point, at least Decimal decimals and up to two
};

// The edit control the text is shown in.
class ISpinEditView {
public:
  virtual ~ISpinEditView() = default;
  // The program set the text; the view shows it without reporting it back as typed.
  virtual void ShowText(const std::string& Text) = 0;
  virtual void ShowEnabled(bool Enabled) = 0;
};

// A number as the user's locale writes it: optional blanks around, an optional
// sign, digits with one decimal point (the locale's separator, or the "." the
// formatting writes), an optional exponent. "12." reads as 12. Infinite and
// out-of-range results fail.
std::optional<double> ParseLocaleFloat(std::string_view Text, std::string_view Separator);

class TSpinEditCore {
public:
  // Separator: the user's locale decimal separator, UTF-8.
  explicit TSpinEditCore(IWidgetPlatform& Platform, std::string Separator = ".");
  TSpinEditCore(const TSpinEditCore&) = delete;
  TSpinEditCore& operator=(const TSpinEditCore&) = delete;

  void SetView(ISpinEditView* View) { FView = View; }

  // Fires on every change of the text, and once more after Enter.
  std::function<void()> OnChange;

  double Value() const { return FValue; }
  void SetValue(double X);
  // The value rounded to the nearest integer, ties to even; saturated to 32 bits.
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t X) { SetValue(X); }
  double MinValue() const { return FMinValue; }
  void SetMinValue(double X);
  double MaxValue() const { return FMaxValue; }
  void SetMaxValue(double X);
  double Increment() const { return FIncrement; }
  void SetIncrement(double X) { FIncrement = X; }
  int Decimal() const { return FDecimal; }
  void SetDecimal(int N);
  // The text is not rewritten; RefreshText does that.
  tTypeValue TypeValue() const { return FTypeValue; }
  void SetTypeValue(tTypeValue T) { FTypeValue = T; }
  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool B) { FEditorEnabled = B; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool B) { FReadOnly = B; }
  const std::string& DecimalSeparator() const { return FSeparator; }
  void SetDecimalSeparator(std::string Separator) { FSeparator = std::move(Separator); }

  const std::string& Text() const { return FText; }

  double ClampValue(double X) const;
  std::string FormatValue() const;

  // The edit's text changed by the user (typing, paste, cut).
  void TextChanged(std::string Text);
  // Enter and leaving the field: bounds what was typed.
  void CommitText();
  // After TypeValue changed: the text follows the mode.
  void RefreshText();
  // A beep and no change while ReadOnly.
  void StepUp();
  void StepDown();

  // Key: one character as UTF-8; control characters are single bytes ("\b", "\r").
  bool AcceptsKey(std::string_view Key) const;
  // A refused key beeps; Enter commits and fires OnChange once more. Returns
  // whether the key goes on to the edit.
  bool KeyPress(std::string_view Key);
  // Paste and cut change the text only when typing could.
  bool AcceptsClipboardEdit() const { return FEditorEnabled && !FReadOnly; }

  // A drag over the strip between the arrows: one Increment per pixel up.
  void Drag(int PixelsUp);

private:
  void SetText(std::string Text);
  void Change();
  void ShowEnabled();

  IWidgetPlatform& FPlatform;
  ISpinEditView* FView = nullptr;
  std::string FSeparator;
  std::string FText = "0";
  double FValue = 0;
  double FMinValue = 0;
  double FMaxValue = 32000;
  double FIncrement = 1;
  int FDecimal = 0;
  tTypeValue FTypeValue = tTypeValue::ttInteger;
  bool FEditorEnabled = true;
  bool FReadOnly = false;
};

// The mouse held down on the strip between the arrows.
class TSpinDrag {
public:
  void Press(int Y) {
    FActive = true;
    FDragY = Y;
  }
  // Pixels moved up since the last move; 0 when no drag is on.
  int Move(int Y) {
    if (!FActive || Y == FDragY) return 0;
    const int up = FDragY - Y;
    FDragY = Y;
    return up;
  }
  void Release() { FActive = false; }
  bool Active() const { return FActive; }

private:
  bool FActive = false;
  int FDragY = 0;
};
