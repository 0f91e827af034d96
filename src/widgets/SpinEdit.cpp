#include "widgets/SpinEdit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

// More decimals than a double holds only lengthen the text.
constexpr int MaxDecimals = 20;

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}

// Locale-independent (QApplication sets the C locale from the environment, so
// printf could write a comma).
std::string Fixed(double X, int Decimals) {
  std::string out(64, '\0');
  for (;;) {
    const auto [end, ec] =
        std::to_chars(out.data(), out.data() + out.size(), X, std::chars_format::fixed, Decimals);
    if (ec == std::errc{}) {
      out.resize(std::size_t(end - out.data()));
      break;
    }
    out.resize(out.size() * 2);
  }
  // A small negative value rounds to zero: no "-0" on the screen.
  if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return out;
}

} // namespace

std::optional<double> ParseLocaleFloat(std::string_view Text, std::string_view Separator) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!Text.empty() && blank(Text.front()))
    Text.remove_prefix(1);
  while (!Text.empty() && blank(Text.back()))
    Text.remove_suffix(1);

  // Rewritten in the one form from_chars reads: "-", digits, ".", digits, "e".
  std::string ascii;
  std::size_t i = 0;
  const std::size_t n = Text.size();
  if (i < n && (Text[i] == '+' || Text[i] == '-')) {
    if (Text[i] == '-') ascii += '-';
    ++i;
  }
  int digits = 0;
  bool point = false;
  while (i < n) {
    if (IsDigit(Text[i])) {
      ascii += Text[i++];
      ++digits;
    } else if (!point && !Separator.empty() && Text.substr(i).starts_with(Separator)) {
      point = true;
      ascii += '.';
      i += Separator.size();
    } else if (!point && Text[i] == '.') {
      point = true;
      ascii += '.';
      ++i;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (ascii.back() == '.') ascii.pop_back();
  if (i < n && (Text[i] == 'e' || Text[i] == 'E')) {
    ascii += 'e';
    ++i;
    if (i < n && (Text[i] == '+' || Text[i] == '-')) ascii += Text[i++];
    int exponentDigits = 0;
    while (i < n && IsDigit(Text[i])) {
      ascii += Text[i++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;

  double value = 0;
  const char* end = ascii.data() + ascii.size();
  const auto [stop, ec] = std::from_chars(ascii.data(), end, value);
  if (ec != std::errc{} || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

TSpinEditCore::TSpinEditCore(IWidgetPlatform& Platform, std::string Separator)
    : FPlatform(Platform), FSeparator(std::move(Separator)) {}

double TSpinEditCore::ClampValue(double X) const {
  if (FMaxValue == FMinValue) return FMaxValue;
  if (X < FMinValue) return FMinValue;
  if (X > FMaxValue) return FMaxValue;
  return X;
}

std::string TSpinEditCore::FormatValue() const {
  if (FTypeValue == tTypeValue::ttInteger) return Fixed(std::nearbyint(FValue), 0);
  const int decimals = std::clamp(FDecimal, 0, MaxDecimals);
  std::string result = Fixed(FValue, decimals);
  if (decimals < 1) {
    std::string s1 = Fixed(FValue, 1);
    if (s1.back() != '0') result = std::move(s1);
  }
  if (decimals < 2) {
    std::string s2 = Fixed(FValue, 2);
    if (s2.back() != '0') result = std::move(s2);
  }
  return result;
}

std::int32_t TSpinEditCore::AsInteger() const {
  const double r = std::nearbyint(FValue);
  if (r >= double(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (r <= double(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return std::int32_t(r);
}

void TSpinEditCore::SetValue(double X) {
  FValue = ClampValue(X);
  SetText(FormatValue());
}

void TSpinEditCore::SetText(std::string Text) {
  if (Text == FText) return;
  FText = std::move(Text);
  if (FView) FView->ShowText(std::string(FText));
  Change();
}

void TSpinEditCore::TextChanged(std::string Text) {
  if (Text == FText) return;
  FText = std::move(Text);
  Change();
}

void TSpinEditCore::Change() {
  if (OnChange) OnChange();
  std::string_view text = FText;
  if (!text.empty() && text.back() == '.') text.remove_suffix(1);
  FValue = ParseLocaleFloat(text, FSeparator).value_or(FMinValue);
}

void TSpinEditCore::CommitText() {
  const double v = ParseLocaleFloat(FText, FSeparator).value_or(FValue);
  if (ClampValue(v) != FValue) SetValue(v);
}

void TSpinEditCore::RefreshText() {
  SetText(FormatValue());
}

void TSpinEditCore::SetDecimal(int N) {
  if (N == FDecimal) return;
  FDecimal = N;
  SetText(FormatValue());
}

void TSpinEditCore::SetMinValue(double X) {
  if (X != FMinValue) {
    FMinValue = X;
    if (FMinValue > FMaxValue) FMaxValue = FMinValue;
    SetValue(FValue);
  }
  ShowEnabled();
}

void TSpinEditCore::SetMaxValue(double X) {
  if (X != FMaxValue) {
    FMaxValue = X;
    if (FMinValue > FMaxValue) FMinValue = FMaxValue;
    SetValue(FValue);
  }
  ShowEnabled();
}

void TSpinEditCore::ShowEnabled() {
  if (FView) FView->ShowEnabled(FMaxValue != FMinValue);
}

void TSpinEditCore::StepUp() {
  if (FReadOnly)
    FPlatform.Beep();
  else
    SetValue(FValue + FIncrement);
}

void TSpinEditCore::StepDown() {
  if (FReadOnly)
    FPlatform.Beep();
  else
    SetValue(FValue - FIncrement);
}

bool TSpinEditCore::AcceptsKey(std::string_view Key) const {
  const bool separator = !FSeparator.empty() && Key == FSeparator;
  // The text has its point already, typed or written by the formatting (which
  // always writes "."); a second one would make it unreadable.
  if (separator &&
      (FText.find(FSeparator) != std::string::npos || FText.find('.') != std::string::npos))
    return false;
  const bool control = Key.size() == 1 && static_cast<unsigned char>(Key[0]) < 32;
  const bool accepted =
      Key == "+" || Key == "-" || (Key.size() == 1 && IsDigit(Key[0])) || separator || control;
  if (!accepted) return false;
  if (!FEditorEnabled && (!control || Key == "\b")) return false;
  return true;
}

bool TSpinEditCore::KeyPress(std::string_view Key) {
  if (!AcceptsKey(Key)) {
    FPlatform.Beep();
    return false;
  }
  if (Key == "\r") {
    CommitText();
    if (OnChange) OnChange();
    return false;
  }
  return true;
}

void TSpinEditCore::Drag(int PixelsUp) {
  SetValue(FValue + PixelsUp * FIncrement);
}
