// The spin edit driven as a user drives it: keys, clicks, a held arrow, a drag,
// focus moves; and what it shows: its geometry, its arrows' pixels, its
// accessible name.
#include "gui/SpinEditWidget.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TFakePlatform : IWidgetPlatform {
  int Beeps = 0;
  void Beep() override { ++Beeps; }
};

// A shown, active window with the spin edit and a plain edit to move focus to.
struct TWindow {
  TFakePlatform Platform;
  QWidget Window;
  QLabel* Label;
  TmSpinEdit* Spin;
  QLineEdit* Other;
  int Changes = 0;

  TWindow() {
    auto* layout = new QVBoxLayout(&Window);
    Label = new QLabel(QStringLiteral("&Size:"));
    Spin = new TmSpinEdit(Platform);
    Other = new QLineEdit;
    Label->setBuddy(Spin);
    layout->addWidget(Label);
    layout->addWidget(Spin);
    layout->addWidget(Other);
    Window.resize(160, 100);
    QObject::connect(Spin, &TmSpinEdit::Change, [this] { ++Changes; });
    Window.show();
    QApplication::setActiveWindow(&Window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
  }
  TTimerSpeedButton* Up() const { return Spin->SpinButton()->UpArrow(); }
  TTimerSpeedButton* Down() const { return Spin->SpinButton()->DownArrow(); }
  QString Text() const { return Spin->text(); }
};

// One step of a user at the keyboard: a key, or characters typed.
struct TKey {
  Qt::Key Key = Qt::Key_unknown;
  QString Typed;
  Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
};
TKey Typed(const char* Text) {
  return {Qt::Key_unknown, QString::fromUtf8(Text)};
}
TKey Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
  return {K, {}, M};
}

void Press(QWidget* Target, const std::vector<TKey>& Keys) {
  for (const TKey& k : Keys) {
    if (!k.Typed.isEmpty())
      QTest::keyClicks(Target, k.Typed);
    else
      QTest::keyClick(Target, k.Key, k.Modifiers);
  }
}

struct TKeyCase {
  const char* Name;
  tTypeValue Type;
  bool EditorEnabled;
  std::vector<TKey> Keys; // after the whole text is selected
  QString Text;
  double Value;
  int Beeps;
  int Changes;
};

TEST(SpinEditWidget, KeysOnTheEdit) {
  using enum tTypeValue;
  const TKeyCase cases[] = {
      {"typing replaces the selection", ttInteger, true, {Typed("25")}, "25", 25, 0, 2},
      {"Up steps up", ttInteger, true, {Key(Qt::Key_Up)}, "6", 6, 0, 1},
      {"Down steps down", ttInteger, true, {Key(Qt::Key_Down), Key(Qt::Key_Down)}, "3", 3, 0, 2},
      {"a letter beeps and is dropped", ttInteger, true, {Typed("x")}, "5", 5, 1, 0},
      {"typed beyond max is held, Enter bounds it",
       ttInteger,
       true,
       {Typed("250"), Key(Qt::Key_Return)},
       "100",
       100,
       0,
       5},
      {"Enter on a value in range keeps the text",
       ttInteger,
       true,
       {Typed("7"), Key(Qt::Key_Enter)},
       "7",
       7,
       0,
       2},
      {"Backspace empties the field to MinValue",
       ttInteger,
       true,
       {Key(Qt::Key_Backspace), Key(Qt::Key_Return)},
       "",
       1,
       0,
       2},
      {"a second point beeps", ttDouble, true, {Typed("1.5.")}, "1.5", 1.5, 1, 3},
      {"editor off: digits beep", ttInteger, false, {Typed("7")}, "5", 5, 1, 0},
      {"editor off: Backspace beeps", ttInteger, false, {Key(Qt::Key_Backspace)}, "5", 5, 1, 0},
      {"editor off: Delete does nothing", ttInteger, false, {Key(Qt::Key_Delete)}, "5", 5, 0, 0},
      {"editor off: Up still steps", ttInteger, false, {Key(Qt::Key_Up)}, "6", 6, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TWindow w;
    w.Spin->SetMaxValue(100);
    w.Spin->SetMinValue(1);
    w.Spin->SetTypeValue(c.Type);
    w.Spin->SetValue(5);
    w.Spin->SetEditorEnabled(c.EditorEnabled);
    w.Spin->setFocus();
    w.Spin->selectAll();
    w.Changes = 0;
    Press(w.Spin, c.Keys);
    EXPECT_EQ(w.Text().toStdString(), c.Text.toStdString());
    EXPECT_EQ(w.Spin->Value(), c.Value);
    EXPECT_EQ(w.Platform.Beeps, c.Beeps);
    EXPECT_EQ(w.Changes, c.Changes);
  }
}

TEST(SpinEditWidget, LeavingTheFieldBoundsWhatWasTyped) {
  TWindow w;
  w.Spin->SetMaxValue(20);
  w.Spin->setFocus();
  w.Spin->selectAll();
  QTest::keyClicks(w.Spin, QStringLiteral("25"));
  EXPECT_EQ(w.Spin->Value(), 25);
  QTest::keyClick(w.Spin, Qt::Key_Tab);
  EXPECT_TRUE(w.Other->hasFocus());
  EXPECT_EQ(w.Text(), QStringLiteral("20"));
  EXPECT_EQ(w.Spin->Value(), 20);
}

TEST(SpinEditWidget, FocusByKeyboardOrArrowSelectsAllButNotByClickingTheText) {
  TWindow w;
  w.Spin->SetValue(1234);
  w.Other->setFocus();
  QTest::keyClick(w.Other, Qt::Key_Backtab);
  ASSERT_TRUE(w.Spin->hasFocus());
  EXPECT_EQ(w.Spin->selectedText(), QStringLiteral("1234"));

  w.Other->setFocus();
  QTest::mousePress(w.Up(), Qt::LeftButton);
  ASSERT_TRUE(w.Spin->hasFocus());
  EXPECT_EQ(w.Spin->selectedText(), QStringLiteral("1234"));
  QTest::mouseRelease(w.Up(), Qt::LeftButton);
  EXPECT_EQ(w.Text(), QStringLiteral("1235"));

  w.Other->setFocus();
  QTest::mouseClick(w.Spin, Qt::LeftButton, {}, QPoint(5, 10));
  ASSERT_TRUE(w.Spin->hasFocus());
  EXPECT_EQ(w.Spin->selectedText(), QString());
}

struct TClipboardCase {
  const char* Name;
  bool EditorEnabled;
  bool ReadOnly;
  QString Pasted; // the text after Ctrl+V over the selection
  QString Cut;    // the text after Ctrl+X of the selection
};

TEST(SpinEditWidget, PasteAndCutOnlyWhenTheEditorIsOnAndWritable) {
  const TClipboardCase cases[] = {
      {"editor on", true, false, "77", ""},
      {"editor off", false, false, "5", "5"},
      {"read-only", true, true, "5", "5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TWindow w;
    w.Spin->SetValue(5);
    w.Spin->SetEditorEnabled(c.EditorEnabled);
    w.Spin->SetReadOnly(c.ReadOnly);
    w.Spin->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("77"));
    w.Spin->selectAll();
    QTest::keyClick(w.Spin, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), c.Pasted);
    w.Spin->SetValue(5);
    w.Spin->selectAll();
    QTest::keyClick(w.Spin, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), c.Cut);
  }
}

TEST(SpinEditWidget, ReadOnlyStepsBeepInsteadOfChanging) {
  TWindow w;
  w.Spin->SetValue(5);
  w.Spin->SetReadOnly(true);
  w.Spin->setFocus();
  QTest::keyClick(w.Spin, Qt::Key_Up);
  QTest::mouseClick(w.Down(), Qt::LeftButton);
  EXPECT_EQ(w.Text(), QStringLiteral("5"));
  EXPECT_EQ(w.Platform.Beeps, 2);
}

TEST(SpinEditWidget, KeysOnTheFocusedArrowColumn) {
  TWindow w;
  TmSpinButton* column = w.Spin->SpinButton();
  column->SetTabStop(true);
  column->setFocus();
  ASSERT_TRUE(column->hasFocus());
  w.Spin->SetValue(10);
  EXPECT_EQ(column->FocusedArrow(), w.Up());
  QTest::keyClick(column, Qt::Key_Down);
  EXPECT_EQ(column->FocusedArrow(), w.Down());
  QTest::keyClick(column, Qt::Key_Space); // clicks the focused arrow: down again
  EXPECT_EQ(w.Spin->Value(), 8);
  QTest::keyClick(column, Qt::Key_Up);
  QTest::keyClick(column, Qt::Key_Space);
  EXPECT_EQ(w.Spin->Value(), 10);
  EXPECT_EQ(column->FocusedArrow(), w.Up());
}

struct TArrowCase {
  const char* Name;
  bool Up;
  Qt::MouseButton Button;
  double Value;
};

TEST(SpinEditWidget, APressAndReleaseOnAnArrowStepsOnce) {
  const TArrowCase cases[] = {
      {"up", true, Qt::LeftButton, 11},
      {"down", false, Qt::LeftButton, 9},
      {"right button does nothing", true, Qt::RightButton, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TWindow w;
    w.Spin->SetValue(10);
    QWidget* arrow = c.Up ? w.Up() : w.Down();
    QTest::mousePress(arrow, c.Button);
    QTest::mouseRelease(arrow, c.Button);
    EXPECT_EQ(w.Spin->Value(), c.Value);
  }
}

TEST(SpinEditWidget, AReleaseOffTheArrowDoesNotClick) {
  TWindow w;
  w.Spin->SetValue(10);
  QTest::mousePress(w.Up(), Qt::LeftButton);
  QTest::mouseMove(w.Up(), QPoint(5, 40));
  QTest::mouseRelease(w.Up(), Qt::LeftButton, {}, QPoint(5, 40));
  EXPECT_EQ(w.Spin->Value(), 10);
}

TEST(SpinEditWidget, AHeldArrowRepeatsAfter400MsThenEvery100Ms) {
  TWindow w;
  w.Spin->SetValue(100);
  QElapsedTimer clock;
  QTest::mousePress(w.Up(), Qt::LeftButton);
  clock.start();
  QTest::qWait(300);
  EXPECT_EQ(w.Spin->Value(), 100) << "repeated before 400 ms";
  QTest::qWait(int(std::max<qint64>(0, 1000 - clock.elapsed())));
  const double held = w.Spin->Value() - 100;
  const qint64 elapsed = clock.elapsed();
  // At most one step per 100 ms after the first 400; the timer cannot run
  // early, only late on a busy machine.
  EXPECT_GE(held, 1);
  EXPECT_LE(held, 1 + (elapsed - 400) / 100);
  QTest::mouseRelease(w.Up(), Qt::LeftButton);
  EXPECT_EQ(w.Spin->Value(), 100 + held + 1) << "the release over the arrow clicks once more";
  QTest::qWait(250);
  EXPECT_EQ(w.Spin->Value(), 100 + held + 1) << "still repeating after the release";
}

TEST(SpinEditWidget, AClickThatThrowsStopsTheRepeat) {
  TWindow w;
  QTest::mousePress(w.Up(), Qt::LeftButton);
  ASSERT_TRUE(w.Up()->AutoTimer() && w.Up()->AutoTimer()->isActive());
  w.Up()->OnClick = [] { throw std::runtime_error("no"); };
  EXPECT_THROW(w.Up()->AutoTimerTick(), std::runtime_error);
  EXPECT_FALSE(w.Up()->AutoTimer()->isActive());
  w.Up()->OnClick = nullptr;
  QTest::mouseRelease(w.Up(), Qt::LeftButton);
}

TEST(SpinEditWidget, DraggingOverTheStripAddsOneIncrementPerPixelUp) {
  TWindow w;
  w.Spin->SetValue(10);
  TmSpinButton* column = w.Spin->SpinButton();
  const QPoint strip(6, 8); // between the arrows: rows 7 and 8
  ASSERT_EQ(column->childAt(strip), nullptr);
  QTest::mousePress(column, Qt::LeftButton, {}, strip);
  QTest::mouseMove(column, strip - QPoint(0, 5));
  EXPECT_EQ(w.Spin->Value(), 15);
  EXPECT_EQ(w.Text(), QStringLiteral("15"));
  QTest::mouseMove(column, strip + QPoint(0, 2));
  EXPECT_EQ(w.Spin->Value(), 8);
  QTest::mouseRelease(column, Qt::LeftButton, {}, strip + QPoint(0, 2));
  QTest::mouseMove(column, strip - QPoint(0, 4)); // no button held: no drag
  EXPECT_EQ(w.Spin->Value(), 8);

  w.Spin->SetIncrement(0.5);
  w.Spin->SetTypeValue(tTypeValue::ttDouble);
  QTest::mousePress(column, Qt::LeftButton, {}, strip);
  QTest::mouseMove(column, strip - QPoint(0, 3));
  EXPECT_EQ(w.Spin->Value(), 9.5);
  QTest::mouseRelease(column, Qt::LeftButton, {}, strip - QPoint(0, 3));
}

TEST(SpinEditWidget, TheStripShowsThePlusMinusCursorAndTheArrowsTheArrow) {
  TWindow w;
  const QCursor cursor = w.Spin->SpinButton()->cursor();
  ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
  EXPECT_EQ(cursor.hotSpot(), QPoint(5, 11));
  EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
  const QImage shape = cursor.pixmap().toImage();
  EXPECT_EQ(shape.pixelColor(5, 11), QColor(Qt::black)) << "the hot spot is on the bar";
  EXPECT_EQ(shape.pixelColor(31, 31).alpha(), 0) << "the background is transparent";
  EXPECT_EQ(w.Up()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(w.Down()->cursor().shape(), Qt::ArrowCursor);
}

struct TGeometryCase {
  int ColumnHeight;
  QRect Up, Down;
};

TEST(SpinEditWidget, AtHeight20TheArrowsAre11By7InA12By16Column) {
  TWindow w;
  EXPECT_EQ(w.Spin->height(), 20);
  TmSpinButton* column = w.Spin->SpinButton();
  EXPECT_EQ(column->geometry(), QRect(w.Spin->width() - 14, 2, 12, 16));
  EXPECT_EQ(w.Up()->geometry(), QRect(1, 0, 11, 7));
  EXPECT_EQ(w.Down()->geometry(), QRect(1, 9, 11, 7));
  // The text ends left of the column.
  EXPECT_GE(w.Spin->textMargins().right(), 13);

  const TGeometryCase cases[] = {
      {16, QRect(1, 0, 11, 7), QRect(1, 9, 11, 7)},
      {17, QRect(1, 0, 11, 8), QRect(1, 10, 11, 7)},
      {10, QRect(1, 0, 11, 4), QRect(1, 6, 11, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ColumnHeight);
    column->PlaceArrows(12, c.ColumnHeight);
    EXPECT_EQ(w.Up()->geometry(), c.Up);
    EXPECT_EQ(w.Down()->geometry(), c.Down);
  }
}

TEST(SpinEditWidget, NeverShorterThanItsFont) {
  TWindow w;
  w.Spin->resize(w.Spin->width(), 3);
  EXPECT_EQ(w.Spin->height(), w.Spin->fontMetrics().height());
  EXPECT_EQ(w.Spin->sizeHint().height(), std::max(20, w.Spin->fontMetrics().height()));
}

struct TPixelCase {
  const char* Name;
  bool Up;
  bool Pressed;
  bool Enabled;
  std::vector<const char*> Black; // the arrow button's pixels, '#' black
};

TEST(SpinEditWidget, GrabbedArrowsShowTheirPixelArrowsShiftedWhilePressed) {
  const TPixelCase cases[] = {
      {"up at rest",
       true,
       false,
       true,
       {"...........", "...........", ".....#.....", "....###....", "...#####...", "...........",
        "..........."}},
      {"up pressed",
       true,
       true,
       true,
       {"...........", "...........", "...........", "......#....", ".....###...", "....#####..",
        "..........."}},
      {"down at rest",
       false,
       false,
       true,
       {"...........", "...........", "...#####...", "....###....", ".....#.....", "...........",
        "..........."}},
      {"down pressed",
       false,
       true,
       true,
       {"...........", "...........", "...........", "....#####..", ".....###...", "......#....",
        "..........."}},
      {"up disabled, still black",
       true,
       false,
       false,
       {"...........", "...........", ".....#.....", "....###....", "...#####...", "...........",
        "..........."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TWindow w;
    w.Spin->setEnabled(c.Enabled);
    TTimerSpeedButton* arrow = c.Up ? w.Up() : w.Down();
    if (c.Pressed) QTest::mousePress(arrow, Qt::LeftButton);
    // Grabbed through the whole edit, as it is shown.
    const QImage shot = w.Spin->grab().toImage();
    const QPoint origin = arrow->mapTo(w.Spin, QPoint(0, 0));
    for (int y = 0; y < 7; ++y) {
      std::string row;
      for (int x = 0; x < 11; ++x)
        row += shot.pixelColor(origin + QPoint(x, y)) == QColor(Qt::black) ? '#' : '.';
      EXPECT_EQ(row, c.Black[std::size_t(y)]) << "row " << y;
    }
    // The edge: raised (light above, dark below), sunken while pressed.
    const QColor top = shot.pixelColor(origin + QPoint(3, 0));
    const QColor bottom = shot.pixelColor(origin + QPoint(3, 6));
    if (c.Pressed)
      EXPECT_LT(top.lightness(), bottom.lightness());
    else
      EXPECT_GT(top.lightness(), bottom.lightness());
    if (c.Pressed) QTest::mouseRelease(arrow, Qt::LeftButton);
  }
}

TEST(SpinEditWidget, ARangeOfOneValueDisablesTheEdit) {
  TWindow w;
  w.Spin->SetMinValue(300);
  w.Spin->SetMaxValue(300);
  EXPECT_FALSE(w.Spin->isEnabled());
  EXPECT_EQ(w.Text(), QStringLiteral("300"));
  w.Spin->SetMaxValue(32000);
  EXPECT_TRUE(w.Spin->isEnabled());
}

TEST(SpinEditWidget, ProgramChangesFireChangeWithTheValueAlreadySet) {
  TWindow w;
  std::vector<double> seen;
  QObject::connect(w.Spin, &TmSpinEdit::Change, [&] { seen.push_back(w.Spin->Value()); });
  w.Spin->SetValue(42);
  w.Spin->SetValue(42); // same text: no change
  EXPECT_EQ(seen, std::vector<double>{42});
  EXPECT_EQ(w.Text(), QStringLiteral("42"));
}

TEST(SpinEditWidget, UnderACommaLocaleTheCommaIsTheSeparator) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  {
    TWindow w;
    w.Spin->SetTypeValue(tTypeValue::ttDouble);
    w.Spin->setFocus();
    w.Spin->selectAll();
    QTest::keyClicks(w.Spin, QStringLiteral("2,5"));
    EXPECT_EQ(w.Spin->Value(), 2.5);
    QTest::keyClick(w.Spin, Qt::Key_Up);
    EXPECT_EQ(w.Text(), QStringLiteral("3.5"));
    EXPECT_EQ(w.Spin->Value(), 3.5);
    QTest::keyClicks(w.Spin, QStringLiteral(","));
    EXPECT_EQ(w.Platform.Beeps, 1) << "the text has its point already";
  }
  QLocale::setDefault(saved);
}

TEST(SpinEditWidget, IsAnEditNamedByItsLabelWithNamedArrows) {
  TWindow w;
  w.Spin->SetValue(12);
  QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(w.Spin);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->role(), QAccessible::EditableText);
  EXPECT_EQ(edit->text(QAccessible::Name), QStringLiteral("Size:"));
  EXPECT_EQ(edit->text(QAccessible::Value), QStringLiteral("12"));

  QAccessibleInterface* up = QAccessible::queryAccessibleInterface(w.Up());
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(up->role(), QAccessible::Button);
  EXPECT_EQ(up->text(QAccessible::Name), QStringLiteral("Up"));
  ASSERT_NE(up->actionInterface(), nullptr);
  up->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.Spin->Value() == 13; }, 2000));
  QAccessibleInterface* down = QAccessible::queryAccessibleInterface(w.Down());
  EXPECT_EQ(down->text(QAccessible::Name), QStringLiteral("Down"));
}

} // namespace
