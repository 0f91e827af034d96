// The spin edit's value logic driven as the window drives it: typed text,
// keys, steps and drags in; the value, the shown text, OnChange and beeps out.
#include "widgets/SpinEdit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

struct TFakePlatform : IWidgetPlatform {
  int Beeps = 0;
  void Beep() override { ++Beeps; }
};

struct TFakeView : ISpinEditView {
  std::vector<std::string> Shown;
  std::optional<bool> Enabled;
  void ShowText(const std::string& Text) override { Shown.push_back(Text); }
  void ShowEnabled(bool B) override { Enabled = B; }
};

// A spin edit with its view, counting OnChange and the value each one saw.
struct TSpin {
  TFakePlatform Platform;
  TFakeView View;
  TSpinEditCore Edit;
  std::vector<double> ValueAtChange;

  explicit TSpin(std::string Separator = ".") : Edit(Platform, std::move(Separator)) {
    Edit.SetView(&View);
    Edit.OnChange = [this] { ValueAtChange.push_back(Edit.Value()); };
  }
  // The user typed until the field held Text.
  void Type(const std::string& Text) { Edit.TextChanged(Text); }
  bool Key(std::string_view K) { return Edit.KeyPress(K); }
  void Forget() {
    ValueAtChange.clear();
    View.Shown.clear();
    View.Enabled.reset();
    Platform.Beeps = 0;
  }
};

TEST(SpinEdit, StartsAtZeroShowingZero) {
  TSpin s;
  EXPECT_EQ(s.Edit.Value(), 0);
  EXPECT_EQ(s.Edit.Text(), "0");
  EXPECT_EQ(s.Edit.MinValue(), 0);
  EXPECT_EQ(s.Edit.MaxValue(), 32000);
  EXPECT_EQ(s.Edit.Increment(), 1);
  EXPECT_TRUE(s.Edit.EditorEnabled());
}

struct TBoundsCase {
  const char* Name;
  std::function<void(TSpinEditCore&)> Act;
  double Value;
  std::string Text;
  double Min, Max;
  std::optional<bool> Enabled; // what the view was last told, if anything
};

TEST(SpinEdit, BoundsHoldTheValueAndARangeOfOneValueDisables) {
  const TBoundsCase cases[] = {
      {"value above max is bounded",
       [](TSpinEditCore& e) {
         e.SetMaxValue(1000);
         e.SetValue(5000);
       },
       1000, "1000", 0, 1000, true},
      {"value below min is bounded",
       [](TSpinEditCore& e) {
         e.SetMinValue(10);
         e.SetValue(-3);
       },
       10, "10", 10, 32000, true},
      {"range of one value takes any value",
       [](TSpinEditCore& e) {
         e.SetMaxValue(7);
         e.SetMinValue(7);
         e.SetValue(123);
       },
       7, "7", 7, 7, false},
      {"min above max raises max",
       [](TSpinEditCore& e) {
         e.SetMaxValue(20);
         e.SetMinValue(50);
       },
       50, "50", 50, 50, false},
      {"max below min lowers min",
       [](TSpinEditCore& e) {
         e.SetMinValue(10);
         e.SetMaxValue(5);
       },
       5, "5", 5, 5, false},
      {"a pinned range let go enables again",
       [](TSpinEditCore& e) {
         e.SetMinValue(300);
         e.SetMaxValue(300);
         e.SetMaxValue(32000);
       },
       300, "300", 300, 32000, true},
      {"setting the same bound again still reports enabled",
       [](TSpinEditCore& e) { e.SetMinValue(0); }, 0, "0", 0, 32000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSpin s;
    c.Act(s.Edit);
    EXPECT_EQ(s.Edit.Value(), c.Value);
    EXPECT_EQ(s.Edit.Text(), c.Text);
    EXPECT_EQ(s.Edit.MinValue(), c.Min);
    EXPECT_EQ(s.Edit.MaxValue(), c.Max);
    EXPECT_EQ(s.View.Enabled, c.Enabled);
    if (!s.View.Shown.empty()) {
      EXPECT_EQ(s.View.Shown.back(), c.Text);
    }
  }
}

struct TFormatCase {
  const char* Name;
  tTypeValue Type;
  int Decimal;
  double Set;
  std::string Text;
};

TEST(SpinEdit, FormatsIntegersAndFixedPoint) {
  using enum tTypeValue;
  const TFormatCase cases[] = {
      {"integer rounds a tie to even, down", ttInteger, 0, 2.5, "2"},
      {"integer rounds a tie to even, up", ttInteger, 0, 3.5, "4"},
      {"integer rounds a negative tie to even", ttInteger, -1, -2.5, "-2"},
      {"integer ignores Decimal", ttInteger, 3, 12.75, "13"},
      {"integer never shows minus zero", ttInteger, 0, -0.4, "0"},
      {"integer has no separators", ttInteger, 0, 1234567, "1234567"},
      {"double 0 decimals, whole", ttDouble, 0, 3, "3"},
      {"double 0 decimals, one needed", ttDouble, 0, 2.7, "2.7"},
      {"double 0 decimals, two needed", ttDouble, 0, 2.34, "2.34"},
      {"double 0 decimals, tenth is zero", ttDouble, 0, 2.06, "2.06"},
      {"double 0 decimals, beyond two rounds", ttDouble, 0, 2.3449, "2.34"},
      {"double 1 decimal, whole", ttDouble, 1, 3, "3.0"},
      {"double 1 decimal, two needed", ttDouble, 1, 2.34, "2.34"},
      {"double 3 decimals", ttDouble, 3, 2.34, "2.340"},
      {"double negative", ttDouble, 0, -1.5, "-1.5"},
      {"double never shows minus zero", ttDouble, 0, -0.001, "0"},
      {"double negative Decimal counts as none", ttDouble, -4, 3, "3"},
      {"double huge Decimal is bounded", ttDouble, 1000000000, 1, "1.00000000000000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSpin s;
    s.Edit.SetMaxValue(1e9);
    s.Edit.SetMinValue(-1e9);
    s.Edit.SetValue(99); // so every case changes the text
    s.Edit.SetTypeValue(c.Type);
    s.Edit.SetDecimal(c.Decimal);
    s.Edit.SetValue(c.Set);
    EXPECT_EQ(s.Edit.Text(), c.Text);
    EXPECT_EQ(s.View.Shown.back(), c.Text);
    // The change handling reads the shown text back into the value.
    EXPECT_DOUBLE_EQ(s.Edit.Value(), *ParseLocaleFloat(c.Text, "."));
  }
}

TEST(SpinEdit, FormatsWithAPointWhateverTheLocaleAndReadsItBack) {
  TSpin s(",");
  s.Edit.SetTypeValue(tTypeValue::ttDouble);
  s.Edit.SetValue(3.25);
  EXPECT_EQ(s.Edit.Text(), "3.25");
  // Read back under the comma locale, the value is kept, not dropped to MinValue.
  EXPECT_EQ(s.Edit.Value(), 3.25);
  s.Edit.CommitText();
  EXPECT_EQ(s.Edit.Value(), 3.25);
  EXPECT_EQ(s.Edit.Text(), "3.25");
}

TEST(SpinEdit, TypingOutOfRangeIsHeldUntilEnterBoundsIt) {
  TSpin s;
  s.Edit.SetMaxValue(20);
  s.Edit.SetMinValue(1);
  ASSERT_EQ(s.Edit.Text(), "1");
  s.Forget();

  s.Type("2");
  s.Type("25");
  // Each OnChange saw the value from before its keystroke; 25 is kept unbounded.
  EXPECT_EQ(s.ValueAtChange, (std::vector<double>{1, 2}));
  EXPECT_EQ(s.Edit.Value(), 25);
  EXPECT_TRUE(s.View.Shown.empty());

  EXPECT_FALSE(s.Key("\r")); // the line break never reaches the edit
  EXPECT_EQ(s.Edit.Value(), 20);
  EXPECT_EQ(s.Edit.Text(), "20");
  EXPECT_EQ(s.View.Shown, std::vector<std::string>{"20"});
  // The rewrite to "20" fired one with the value already bounded, Enter one more.
  EXPECT_EQ(s.ValueAtChange, (std::vector<double>{1, 2, 20, 20}));
  EXPECT_EQ(s.Platform.Beeps, 0);
}

struct TTypedCase {
  const char* Name;
  std::string Typed;
  double Value;     // after the change handling
  std::string Text; // after Enter
  double Committed; // after Enter
};

TEST(SpinEdit, TypedTextIsReadAndEnterBoundsOnlyWhatNeedsIt) {
  const TTypedCase cases[] = {
      {"a fraction in integer mode stays as typed", "2.5", 2.5, "2.5", 2.5},
      {"a trailing point reads as the whole number", "12.", 12, "12.", 12},
      {"an emptied field falls to MinValue and stays empty", "", 1, "", 1},
      {"a lone minus falls to MinValue and stays", "-", 1, "-", 1},
      {"below range is bounded on Enter", "0.5", 0.5, "1", 1},
      {"above range is bounded on Enter", "700", 700, "500", 500},
      {"a signed number is read", "+7", 7, "+7", 7},
      {"an exponent is read", "1e2", 100, "1e2", 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSpin s;
    s.Edit.SetMaxValue(500);
    s.Edit.SetMinValue(1);
    s.Edit.SetValue(10);
    s.Forget();
    s.Type(c.Typed);
    EXPECT_EQ(s.Edit.Value(), c.Value);
    EXPECT_EQ(s.Edit.Text(), c.Typed);
    s.Key("\r");
    EXPECT_EQ(s.Edit.Text(), c.Text);
    EXPECT_EQ(s.Edit.Value(), c.Committed);
    // Enter always fires OnChange after the commit.
    EXPECT_EQ(s.ValueAtChange.back(), c.Committed);
  }
}

TEST(SpinEdit, AsIntegerRoundsTiesToEvenAndSaturates) {
  const struct {
    std::string Typed;
    std::int32_t Int;
  } cases[] = {
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"2.4999", 2},
      {"1e12", std::numeric_limits<std::int32_t>::max()},
      {"-1e12", std::numeric_limits<std::int32_t>::min()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    TSpin s;
    s.Type(c.Typed); // typed values are held unbounded
    EXPECT_EQ(s.Edit.AsInteger(), c.Int);
  }
  TSpin s;
  s.Edit.SetAsInteger(42);
  EXPECT_EQ(s.Edit.Text(), "42");
}

struct TKeyCase {
  const char* Name;
  std::string Separator;
  std::string Text;
  bool EditorEnabled;
  std::string Key;
  bool Passes; // goes on to the edit
  int Beeps;
};

TEST(SpinEdit, KeysAreFilteredAndRefusedOnesBeep) {
  const TKeyCase cases[] = {
      {"digit", ".", "1", true, "7", true, 0},
      {"plus anywhere", ".", "1+", true, "+", true, 0},
      {"minus again", ".", "--", true, "-", true, 0},
      {"first point", ".", "12", true, ".", true, 0},
      {"second point", ".", "1.2", true, ".", false, 1},
      {"letter", ".", "1", true, "a", false, 1},
      {"blank", ".", "1", true, " ", false, 1},
      {"non-ASCII character", ".", "1", true, "\xC3\xA9", false, 1},
      {"backspace", ".", "1", true, "\b", true, 0},
      {"escape", ".", "1", true, "\x1b", true, 0},
      {"comma locale: comma", ",", "12", true, ",", true, 0},
      {"comma locale: second comma", ",", "1,2", true, ",", false, 1},
      {"comma locale: comma after the formatted point", ",", "2.5", true, ",", false, 1},
      {"comma locale: point is not its separator", ",", "12", true, ".", false, 1},
      {"two-byte separator", "\xD9\xAB", "12", true, "\xD9\xAB", true, 0},
      {"editor off: digit", ".", "1", false, "7", false, 1},
      {"editor off: sign", ".", "1", false, "-", false, 1},
      {"editor off: point", ".", "1", false, ".", false, 1},
      {"editor off: backspace", ".", "1", false, "\b", false, 1},
      {"editor off: escape passes", ".", "1", false, "\x1b", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSpin s(c.Separator);
    s.Type(c.Text);
    s.Edit.SetEditorEnabled(c.EditorEnabled);
    EXPECT_EQ(s.Edit.AcceptsKey(c.Key), c.Passes);
    EXPECT_EQ(s.Key(c.Key), c.Passes);
    EXPECT_EQ(s.Platform.Beeps, c.Beeps);
    EXPECT_EQ(s.Edit.Text(), c.Text);
  }
}

TEST(SpinEdit, EnterCommitsEvenWithTheEditorOff) {
  TSpin s;
  s.Edit.SetMaxValue(20);
  s.Type("99");
  s.Edit.SetEditorEnabled(false);
  EXPECT_FALSE(s.Edit.AcceptsClipboardEdit());
  EXPECT_FALSE(s.Key("\r"));
  EXPECT_EQ(s.Edit.Text(), "20");
  EXPECT_EQ(s.Platform.Beeps, 0);
  // Steps and drags still work.
  s.Edit.StepDown();
  s.Edit.Drag(-2);
  EXPECT_EQ(s.Edit.Value(), 17);
}

TEST(SpinEdit, ClipboardEditsFollowEditorEnabledAndReadOnly) {
  TSpin s;
  EXPECT_TRUE(s.Edit.AcceptsClipboardEdit());
  s.Edit.SetReadOnly(true);
  EXPECT_FALSE(s.Edit.AcceptsClipboardEdit());
  s.Edit.SetReadOnly(false);
  s.Edit.SetEditorEnabled(false);
  EXPECT_FALSE(s.Edit.AcceptsClipboardEdit());
}

struct TStepCase {
  const char* Name;
  double Min, Max, Start, Increment;
  bool ReadOnly;
  bool Up;
  double Value;
  std::string Text;
  int Changes;
  int Beeps;
};

TEST(SpinEdit, StepsMoveByIncrementWithinTheBounds) {
  const TStepCase cases[] = {
      {"up", 0, 100, 10, 1, false, true, 11, "11", 1, 0},
      {"down", 0, 100, 10, 1, false, false, 9, "9", 1, 0},
      {"up by a larger increment", 0, 100, 10, 25, false, true, 35, "35", 1, 0},
      {"up at max changes nothing and fires nothing", 0, 100, 100, 1, false, true, 100, "100", 0,
       0},
      {"down at min changes nothing", 5, 100, 5, 1, false, false, 5, "5", 0, 0},
      {"up past max stops at max", 0, 100, 99.5, 1, false, true, 100, "100", 1, 0},
      {"read-only beeps instead", 0, 100, 10, 1, true, true, 10, "10", 0, 1},
      {"read-only beeps going down too", 0, 100, 10, 1, true, false, 10, "10", 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSpin s;
    s.Edit.SetMaxValue(c.Max);
    s.Edit.SetMinValue(c.Min);
    s.Edit.SetTypeValue(tTypeValue::ttDouble);
    s.Edit.SetValue(c.Start);
    s.Edit.SetIncrement(c.Increment);
    s.Edit.SetReadOnly(c.ReadOnly);
    s.Forget();
    if (c.Up)
      s.Edit.StepUp();
    else
      s.Edit.StepDown();
    EXPECT_EQ(s.Edit.Value(), c.Value);
    EXPECT_EQ(s.Edit.Text(), c.Text);
    EXPECT_EQ(int(s.ValueAtChange.size()), c.Changes);
    EXPECT_EQ(s.Platform.Beeps, c.Beeps);
  }
}

TEST(SpinEdit, TypeValueWaitsForRefreshTextAndDecimalRewritesAtOnce) {
  TSpin s;
  s.Edit.SetTypeValue(tTypeValue::ttDouble);
  s.Edit.SetDecimal(1);
  s.Edit.SetValue(12.25);
  EXPECT_EQ(s.Edit.Text(), "12.25");
  s.Edit.SetTypeValue(tTypeValue::ttInteger);
  EXPECT_EQ(s.Edit.Text(), "12.25");
  s.Edit.RefreshText();
  EXPECT_EQ(s.Edit.Text(), "12");
  EXPECT_EQ(s.Edit.Value(), 12);

  s.Edit.SetTypeValue(tTypeValue::ttDouble);
  s.Edit.SetDecimal(2);
  EXPECT_EQ(s.Edit.Text(), "12.00");
  s.Forget();
  s.Edit.SetDecimal(2); // unchanged: nothing rewritten
  s.Edit.RefreshText(); // already shows the value: no change fired
  EXPECT_TRUE(s.View.Shown.empty());
  EXPECT_TRUE(s.ValueAtChange.empty());
}

TEST(SpinEdit, UnderACommaLocaleTypedCommasAreRead) {
  TSpin s(",");
  s.Edit.SetTypeValue(tTypeValue::ttDouble);
  s.Type("2,5");
  EXPECT_EQ(s.Edit.Value(), 2.5);
  s.Type("2,");
  EXPECT_EQ(s.Edit.Value(), 2);
  s.Type("7,25");
  s.Key("\r"); // within range: left as typed
  EXPECT_EQ(s.Edit.Text(), "7,25");
  EXPECT_EQ(s.Edit.Value(), 7.25);
  s.Edit.StepUp();
  EXPECT_EQ(s.Edit.Text(), "8.25");
  EXPECT_EQ(s.Edit.Value(), 8.25);
}

TEST(SpinEdit, DragAddsOneIncrementPerPixelUp) {
  TSpin s;
  s.Edit.SetMaxValue(30);
  s.Edit.SetValue(10);
  TSpinDrag drag;
  EXPECT_EQ(drag.Move(3), 0); // no press, no drag
  drag.Press(20);
  s.Edit.Drag(drag.Move(15));
  EXPECT_EQ(s.Edit.Value(), 15);
  s.Edit.Drag(drag.Move(15)); // no movement
  EXPECT_EQ(s.Edit.Value(), 15);
  s.Edit.Drag(drag.Move(18));
  EXPECT_EQ(s.Edit.Value(), 12);
  s.Edit.Drag(drag.Move(-100));
  EXPECT_EQ(s.Edit.Value(), 30); // bounded like any SetValue
  EXPECT_EQ(s.Edit.Text(), "30");
  drag.Release();
  EXPECT_EQ(drag.Move(0), 0);
}

struct TParseCase {
  const char* Text;
  const char* Separator;
  std::optional<double> Value;
};

TEST(SpinEdit, ParsesNumbersAsTheLocaleWritesThem) {
  const TParseCase cases[] = {
      {"12", ".", 12},
      {"12.", ".", 12},
      {".5", ".", 0.5},
      {" 7 ", ".", 7},
      {"-3.5", ".", -3.5},
      {"+4", ".", 4},
      {"1e3", ".", 1000},
      {"2.5E-1", ".", 0.25},
      {"1,5", ",", 1.5},
      {"1.5", ",", 1.5},
      {"1,", ",", 1},
      {"1\xD9\xAB"
       "5",
       "\xD9\xAB", 1.5},
      {"", ".", std::nullopt},
      {"-", ".", std::nullopt},
      {".", ".", std::nullopt},
      {"1.2.3", ".", std::nullopt},
      {"1,5", ".", std::nullopt},
      {"1.5,", ",", std::nullopt},
      {"1 000", ".", std::nullopt},
      {"1e", ".", std::nullopt},
      {"1e999", ".", std::nullopt},
      {"inf", ".", std::nullopt},
      {"nan", ".", std::nullopt},
      {"0x10", ".", std::nullopt},
      {"--1", ".", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Text) + " with " + c.Separator);
    EXPECT_EQ(ParseLocaleFloat(c.Text, c.Separator), c.Value);
  }
}

TEST(SpinEdit, AnOnChangeThatSetsTheValueWins) {
  // The main window may react to a change by setting the value itself.
  TSpin s;
  s.Edit.OnChange = [&] {
    if (s.Edit.Text() == "9") s.Edit.SetValue(4);
  };
  s.Type("9");
  EXPECT_EQ(s.Edit.Text(), "4");
  EXPECT_EQ(s.Edit.Value(), 4);
}

} // namespace
