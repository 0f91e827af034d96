// The colour table dialog driven as a user would, over the real core, with
// the desktop's dialogs and boxes replaced by a fake platform.
#include "gui/CTableWindow.h"

#include "export/FakeRendering.h"
#include "export/RenderSource.h"
#include "gui/QtPlatform.h"
#include "support/Files.h"
#include "support/PngBytes.h"
#include "support/UnattendedPlatform.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <stdexcept>
#include <string_view>

namespace {

class TFakePlatform : public TUnattendedPlatform {
public:
  std::optional<TColor> Chosen; // answer of the colour dialog
  bool ColorDialogThrows = false;
  int Beeps = 0;
  int ColorDialogs = 0;
  bool Busy = false;

  std::optional<TColor> ChooseColor(TColor) override {
    ++ColorDialogs;
    if (ColorDialogThrows) throw std::runtime_error("The colour dialog failed.");
    return Chosen;
  }
  void Beep() override { ++Beeps; }
  void SetBusy(bool On) override { Busy = On; }
};

// A one-row image of Count colours, white first: the background.
struct TColoursImage {
  TBitmap Preview;
  TExportSource Source;
  explicit TColoursImage(int Count) {
    Preview.SetSize(Count, 1);
    for (int i = 0; i < Count; ++i)
      Preview.SetPixel(i, 0, i == 0 ? 0xFFFFFF : RGB(std::uint8_t(i * 7), 0x10, 0x20));
    Source.Preview = &Preview;
    Source.SurfaceWidth = Count;
    Source.BackColor = 0xFFFFFF;
    Source.Lines = {"x"};
    Source.Measure = &TFakeFont::Measure;
  }
};

template <class T> T* Control(const TCTableWindow& Window, const char* Name) {
  T* control = Window.findChild<T*>(QLatin1String(Name));
  if (!control) throw std::logic_error(std::string("no control ") + Name);
  return control;
}

// Runs Steps while Execute shows the window, then closes it if it is still open.
void WhileShown(TCTableWindow& Window, const std::function<void()>& Steps) {
  bool ran = false;
  QTimer::singleShot(0, &Window, [&] {
    ran = true;
    try { // a missing control fails the test rather than unwinding through Qt
      Steps();
    } catch (const std::exception& Error) {
      ADD_FAILURE() << Error.what();
    }
    if (Window.isVisible()) Window.reject();
  });
  Window.Execute();
  EXPECT_TRUE(ran);
}

void DoubleClickCell(TCTableWindow& Window, int Row, int Col) {
  auto* grid = Control<QTableWidget>(Window, "CGrid");
  grid->scrollToItem(grid->item(Row, Col));
  const QPoint at = grid->visualRect(grid->model()->index(Row, Col)).center();
  // What the desktop sends for a double-click: press, release, double-click, release.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
}

void Click(TCTableWindow& Window, const char* Name) {
  QTest::mouseClick(Control<QAbstractButton>(Window, Name), Qt::LeftButton);
}

// GIF, then PNG: the arrows choose in the format's box.
void ChooseFormat(TCTableWindow& Window, const char* Format) {
  auto* box = Control<QComboBox>(Window, "CBFormat");
  QTest::keyClick(box, Format == std::string_view("PNG") ? Qt::Key_Down : Qt::Key_Up);
  ASSERT_EQ(box->currentText(), QLatin1String(Format));
}

QString AccessibleName(QObject* Object) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(Object);
  return face ? face->text(QAccessible::Name) : QString();
}

bool InsideScrollArea(const QWidget* Control, const QWidget* Window) {
  for (const QWidget* w = Control->parentWidget(); w && w != Window; w = w->parentWidget())
    if (w->inherits("QAbstractScrollArea")) return true;
  return false;
}

struct TDialog {
  TFakePlatform Platform;
  TCTable Core;
  TCTableWindow Window{Core, Platform};
};

} // namespace

TEST(CTableWindow, GridHasARowPerEightColoursAndCrossesTheRest) {
  struct Case {
    const char* name;
    int colours;
    int rows;
  };
  const Case cases[] = {
      {"8 colours", 8, 1}, {"9 colours", 9, 2}, {"24 colours", 24, 3}, {"17 after 24", 17, 3}};
  TDialog d; // one dialog for every row: each showing rebuilds the grid
  for (const Case& c : cases) {
    const TColoursImage image(c.colours);
    d.Core.Prepare(image.Source);
    WhileShown(d.Window, [&] {
      const auto* grid = Control<QTableWidget>(d.Window, "CGrid");
      EXPECT_EQ(grid->rowCount(), c.rows) << c.name;
      EXPECT_EQ(grid->columnCount(), 8) << c.name;
      int coloured = 0;
      for (int row = 0; row < grid->rowCount(); ++row)
        for (int col = 0; col < 8; ++col)
          coloured += !grid->item(row, col)->text().isEmpty();
      EXPECT_EQ(coloured, c.colours) << c.name;
      EXPECT_EQ(Control<QLabel>(d.Window, "Label1")->text(),
                QStringLiteral("Uses color (total %1):").arg(c.colours))
          << c.name;
    });
  }
}

TEST(CTableWindow, CellsShowTheirColourCrossesAndTheBackgroundMark) {
  TDialog d;
  const TColoursImage image(9);
  d.Core.Prepare(image.Source);
  WhileShown(d.Window, [&] {
    auto* grid = Control<QTableWidget>(d.Window, "CGrid");
    const QImage shot = grid->viewport()->grab().toImage();
    auto cell = [&](int Row, int Col) { return grid->visualRect(grid->model()->index(Row, Col)); };
    auto colour = [](TColor C) { return QColor(GetRValue(C), GetGValue(C), GetBValue(C)); };

    const TColor second = image.Preview.GetPixel(1, 0);
    EXPECT_EQ(shot.pixelColor(cell(0, 1).topLeft() + QPoint(2, 2)), colour(second))
        << "a cell is filled with its colour";
    // An empty cell: dark where the diagonals cross and near each upper
    // corner, light in the middle of its left and top edges.
    const QRect empty = cell(1, 4);
    auto dark = [&](int X0, int X1, int Y) {
      for (int x = X0; x <= X1; ++x)
        if (shot.pixelColor(x, Y).lightness() < 128) return true;
      return false;
    };
    const int midX = empty.center().x(), midY = empty.center().y();
    EXPECT_TRUE(dark(midX - 1, midX + 1, midY)) << "the cross";
    EXPECT_TRUE(dark(empty.left(), midX - 3, empty.top() + 2)) << "the diagonal from the top left";
    EXPECT_TRUE(dark(midX + 3, empty.right(), empty.top() + 2)) << "the one from the top right";
    EXPECT_FALSE(dark(empty.left() + 1, empty.left() + 2, midY)) << "not filled";
    EXPECT_FALSE(dark(midX - 1, midX + 1, empty.top() + 1)) << "not filled";
    bool inverted = false; // "BG" in black on the white background cell
    const QRect back = cell(0, 0);
    for (int y = back.top(); y <= back.bottom(); ++y)
      for (int x = back.left(); x <= back.right(); ++x)
        inverted |= shot.pixelColor(x, y) == QColor(Qt::black);
    EXPECT_TRUE(inverted);
  });
}

TEST(CTableWindow, DoubleClickOnAnEmptyCellOnlyBeeps) {
  TDialog d;
  const TColoursImage image(9);
  d.Core.Prepare(image.Source);
  d.Platform.Chosen = 0x0000FF;
  WhileShown(d.Window, [&] {
    DoubleClickCell(d.Window, 1, 3);
    EXPECT_EQ(d.Platform.Beeps, 1);
    EXPECT_EQ(d.Platform.ColorDialogs, 0);
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(d.Core.CellColor(i % 8, i / 8), image.Preview.GetPixel(i, 0)) << i;
    EXPECT_TRUE(Control<QTableWidget>(d.Window, "CGrid")->item(1, 3)->text().isEmpty());
    EXPECT_TRUE(d.Window.isVisible());
  });
}

TEST(CTableWindow, RecolouredEntryReachesTheSavedFile) {
  TDialog d;
  TTempDir dir;
  const TFakeRendering r({"Hi"});
  d.Core.Prepare(r.Source);
  const TColor glyph = TFakeFont::GlyphColor('H');
  const TColor chosen = RGB(0x12, 0x34, 0x56);
  d.Platform.Chosen = chosen;
  d.Platform.SaveFileName = dir.Folder() + "all.gif";
  WhileShown(d.Window, [&] {
    // The background comes first, the H second.
    ASSERT_EQ(d.Core.CellColor(1, 0), glyph);
    DoubleClickCell(d.Window, 0, 1);
    EXPECT_EQ(Control<QTableWidget>(d.Window, "CGrid")->item(0, 1)->text(),
              QString::number(chosen));
    Click(d.Window, "RS3");
    Click(d.Window, "BSave");
    EXPECT_FALSE(d.Window.isVisible());
  });
  EXPECT_TRUE(d.Platform.Errors.empty());
  TGif saved;
  saved.LoadFromFile(dir.Folder() + "all.gif");
  const TRect h = r.CellOf(0, 0);
  EXPECT_EQ(saved.GetBitmap(0).GetPixel(h.Left + 3, h.Top + 5), chosen);
  EXPECT_FALSE(d.Platform.Busy);
}

// A name given without an extension gets the chosen format's.
TEST(CTableWindow, PngChosenInTheDialogIsWhatTheSaveWrites) {
  TRenderSettings settings;
  settings.FaceName = "DejaVu Sans";
  settings.Lines = {"Hi"};
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(settings, 96);
  ASSERT_TRUE(rendering);
  TDialog d;
  TTempDir dir;
  d.Core.Prepare(ExportSourceOf(*rendering));
  d.Platform.SaveFileName = dir.Folder() + "all";
  WhileShown(d.Window, [&] {
    ChooseFormat(d.Window, "PNG");
    Click(d.Window, "CB2x");
    Click(d.Window, "RS3");
    Click(d.Window, "BSave");
  });
  EXPECT_TRUE(d.Platform.Errors.empty());
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"all.png", "all@2x.png"}));
  for (const std::string& name : dir.Files())
    EXPECT_TRUE(ReadFile(dir / name).starts_with(pngbytes::Signature)) << name;
}

TEST(CTableWindow, SaveClosesTheDialogWhenItsFileDialogIsCancelled) {
  for (TSaveKind kind : {TSaveKind::Html, TSaveKind::Lines, TSaveKind::Solid}) {
    TDialog d;
    const TFakeRendering r({"Hi"});
    d.Core.Choices.Save = kind;
    d.Core.Prepare(r.Source);
    WhileShown(d.Window, [&] {
      Click(d.Window, "BSave");
      EXPECT_FALSE(d.Window.isVisible()) << int(kind);
    });
    EXPECT_TRUE(d.Platform.Errors.empty()) << int(kind);
    EXPECT_FALSE(d.Core.Prepared()) << "the image goes when the dialog closes";
  }
}

TEST(CTableWindow, ErrorsShowInTheErrorBoxAndTheDialogGoesOn) {
  TDialog d;
  const TFakeRendering r({"Hi"}, TAlign::Left, TWidthMode::ToMaxString, 2);
  d.Core.Prepare(r.Source);
  d.Platform.ColorDialogThrows = true;
  d.Platform.Chosen = 0x0000FF;
  WhileShown(d.Window, [&] {
    DoubleClickCell(d.Window, 0, 0);
    EXPECT_EQ(d.Platform.Errors, std::vector<std::string>{"The colour dialog failed."});
    EXPECT_TRUE(d.Window.isVisible());
    d.Platform.ColorDialogThrows = false;
    DoubleClickCell(d.Window, 0, 0);
    EXPECT_EQ(d.Core.CellColor(0, 0), 0x0000FFu) << "the next double-click works";
    // The core refuses the HTML page of a rendering with a shadow.
    Click(d.Window, "RS1");
    Click(d.Window, "BSave");
    EXPECT_FALSE(d.Window.isVisible()) << "Save closes, whatever the writer did";
  });
  ASSERT_EQ(d.Platform.Errors.size(), 2u);
  EXPECT_NE(d.Platform.Errors[1].find("drop shadow"), std::string::npos) << d.Platform.Errors[1];

  // And it shows again.
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    EXPECT_TRUE(d.Window.isVisible());
    Click(d.Window, "bClose");
    EXPECT_FALSE(d.Window.isVisible());
  });
}

TEST(CTableWindow, WriteFailureNamesTheFile) {
  TDialog d;
  const TFakeRendering r({"Hi"});
  d.Core.Choices.Save = TSaveKind::Solid;
  d.Core.Prepare(r.Source);
  d.Platform.SaveFileName = "/nonexistent-folder/all.gif";
  WhileShown(d.Window, [&] { Click(d.Window, "BSave"); });
  ASSERT_EQ(d.Platform.Errors.size(), 1u);
  EXPECT_NE(d.Platform.Errors[0].find("/nonexistent-folder/all.gif"), std::string::npos)
      << d.Platform.Errors[0];
  EXPECT_FALSE(d.Platform.Busy);
}

TEST(CTableWindow, EscapeClicksClose) {
  TDialog d;
  const TFakeRendering r({"Hi"});
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    QSignalSpy clicked(Control<QPushButton>(d.Window, "bClose"), &QPushButton::clicked);
    QTest::keyClick(Control<QLineEdit>(d.Window, "Emask"), Qt::Key_Escape);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(d.Window.isVisible());
  });
}

TEST(CTableWindow, ChoicesBoxesAndMaskStayForTheNextShowing) {
  TFakePlatform platform;
  TCTable core;
  const TFakeRendering r({"Hi"});
  {
    TCTableWindow window(core, platform);
    core.Prepare(r.Source);
    WhileShown(window, [&] {
      ChooseFormat(window, "PNG");
      Click(window, "CB2x");
      Click(window, "RBJS2");
      Click(window, "RBNC");
      Click(window, "CBSS");
      Click(window, "CBAlt");
      Click(window, "CBTransparent");
      Click(window, "RS2");
      QLineEdit* mask = Control<QLineEdit>(window, "Emask");
      mask->selectAll();
      QTest::keyClicks(mask, QStringLiteral("line%n.gif"));
      Click(window, "bClose");
    });
    core.Prepare(r.Source);
    WhileShown(window, [&] {
      EXPECT_TRUE(Control<QRadioButton>(window, "RS2")->isChecked());
      EXPECT_TRUE(Control<QCheckBox>(window, "CBTransparent")->isChecked());
      EXPECT_EQ(Control<QLineEdit>(window, "Emask")->text(), QStringLiteral("line%n.gif"));
      EXPECT_EQ(Control<QComboBox>(window, "CBFormat")->currentText(), QStringLiteral("PNG"));
    });
  }
  // The core keeps them: a new window over it shows them too.
  TCTableWindow again(core, platform);
  core.Prepare(r.Source);
  WhileShown(again, [&] {
    for (const char* name : {"RS2", "RBJS2", "RBNC", "CBSS", "CBAlt", "CBTransparent", "CB2x"})
      EXPECT_TRUE(Control<QAbstractButton>(again, name)->isChecked()) << name;
    EXPECT_EQ(Control<QLineEdit>(again, "Emask")->text(), QStringLiteral("line%n.gif"));
    EXPECT_EQ(Control<QComboBox>(again, "CBFormat")->currentText(), QStringLiteral("PNG"));
  });
  EXPECT_EQ(core.Choices.Mask, "line%n.gif");
  EXPECT_TRUE(core.Choices.Transparent);
  EXPECT_EQ(core.Choices.Format, TImageFormat::Png);
  EXPECT_EQ(core.Choices.Scale, 2);
  core.Prepare(r.Source);
  WhileShown(again, [&] { Click(again, "CB2x"); });
  EXPECT_EQ(core.Choices.Scale, 1) << "unticked";
}

TEST(CTableWindow, SwitchingTheFormatSwitchesTheMasksExtension) {
  struct Case {
    const char* mask;
    const char* format;
    const char* becomes;
  };
  const Case cases[] = {{"%t.gif", "PNG", "%t.png"},
                        {"Item%02n-%s.GIF", "PNG", "Item%02n-%s.PNG"},
                        {"line %n.png", "GIF", "line %n.gif"},
                        {"gif-%n", "PNG", "gif-%n"},
                        {"%t.gif.txt", "PNG", "%t.gif.txt"}};
  for (const Case& c : cases) {
    TDialog d;
    const TFakeRendering r({"Hi"});
    d.Core.Choices.Mask = c.mask;
    d.Core.Choices.Format = c.format[0] == 'P' ? TImageFormat::Gif : TImageFormat::Png;
    d.Core.Prepare(r.Source);
    WhileShown(d.Window, [&] {
      ChooseFormat(d.Window, c.format);
      EXPECT_EQ(Control<QLineEdit>(d.Window, "Emask")->text(), QLatin1String(c.becomes)) << c.mask;
    });
    EXPECT_EQ(d.Core.Choices.Mask, c.becomes);
  }
}

TEST(CTableWindow, EachSaveChoiceEnablesItsOwnGroup) {
  struct Case {
    const char* choice;
    bool html;
    bool mask;
  };
  const Case cases[] = {{"RS1", true, false}, {"RS2", false, true}, {"RS3", false, false}};
  TDialog d;
  const TFakeRendering r({"Hi"});
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    for (const Case& c : cases) {
      Click(d.Window, c.choice);
      for (const char* name : {"RBJS1", "RBJS2", "RBNC", "RBNAS", "CBSS", "CBAlt"})
        EXPECT_EQ(Control<QWidget>(d.Window, name)->isEnabled(), c.html) << c.choice << name;
      for (const char* name : {"Lmask", "Emask", "LHint"})
        EXPECT_EQ(Control<QWidget>(d.Window, name)->isEnabled(), c.mask) << c.choice << name;
    }
  });
}

TEST(CTableWindow, HtmlChoiceOffWhenTheMainWindowSaysSo) {
  TDialog d;
  const TFakeRendering r({"Hi"}, TAlign::Left, TWidthMode::ToMaxString, 2);
  d.Core.Choices.Save = TSaveKind::Solid;
  d.Core.Prepare(r.Source);
  d.Window.SetHtmlEnabled(false);
  WhileShown(d.Window, [&] {
    EXPECT_FALSE(Control<QWidget>(d.Window, "RS1")->isEnabled());
    EXPECT_TRUE(Control<QRadioButton>(d.Window, "RS3")->isChecked());
    EXPECT_FALSE(Control<QWidget>(d.Window, "CBSS")->isEnabled());
  });
  d.Window.SetHtmlEnabled(true);
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    EXPECT_TRUE(Control<QWidget>(d.Window, "RS1")->isEnabled());
    EXPECT_TRUE(Control<QRadioButton>(d.Window, "RS3")->isChecked()) << "the choice stays";
  });
}

TEST(CTableWindow, NoCaptionIsClipped) {
  // The longest captions: counts in the thousands.
  std::vector<std::string> lines;
  for (int code = 0x100; code < 0x100 + 1200; ++code)
    lines.push_back(std::string(1, char(0xC0 | (code >> 6))) + char(0x80 | (code & 0x3F)));
  TDialog d;
  const TFakeRendering r(lines);
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    ChooseFormat(d.Window, "PNG"); // its captions are the wider, fitted once shown
    EXPECT_EQ(d.Window.windowTitle(), QStringLiteral("Color table & type Save "));
    EXPECT_GE(d.Window.width(), 410);
    EXPECT_GE(d.Window.height(), 308);
    EXPECT_EQ(d.Window.minimumSize(), d.Window.maximumSize()) << "fixed size";
    const QRect client = d.Window.rect();
    std::vector<std::pair<std::string, QRect>> placed;
    for (QWidget* w : d.Window.findChildren<QWidget*>()) {
      if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) &&
          !qobject_cast<QComboBox*>(w))
        continue;
      if (!w->isVisibleTo(&d.Window) || InsideScrollArea(w, &d.Window))
        continue; // the grid's and the scroll area's own parts
      const QString name = w->objectName();
      const auto* label = qobject_cast<QLabel*>(w);
      if (label && label->wordWrap())
        EXPECT_GE(w->height(), label->heightForWidth(w->width())) << name.toStdString();
      else
        EXPECT_GE(w->width(), w->sizeHint().width()) << name.toStdString();
      const QRect at(w->mapTo(&d.Window, QPoint(0, 0)), w->size());
      EXPECT_TRUE(client.contains(at)) << name.toStdString();
      for (const auto& [other, rect] : placed)
        EXPECT_FALSE(rect.intersects(at)) << name.toStdString() << " covers " << other;
      placed.emplace_back(name.toStdString(), at);
    }
    EXPECT_NE(Control<QRadioButton>(d.Window, "RS2")->text().indexOf(QLatin1String("1200")), -1);
    const auto* grid = Control<QTableWidget>(d.Window, "CGrid");
    EXPECT_LE(grid->columnViewportPosition(7) + grid->columnWidth(7), grid->viewport()->width())
        << "all eight columns without a horizontal scroll bar";
  });
}

TEST(CTableWindow, PreviewShowsTheFaceThroughTransparentPixels) {
  TDialog d;
  const TFakeRendering r({"Hi"});
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    QWidget* box = Control<QWidget>(d.Window, "PBox");
    const QPoint background(0, 0);
    const TRect h = r.CellOf(0, 0);
    const QPoint glyph(h.Left + 3, h.Top + 5);
    const TColor g = TFakeFont::GlyphColor('H');
    const QColor glyphColour(GetRValue(g), GetGValue(g), GetBValue(g));

    QImage shot = box->grab().toImage();
    EXPECT_EQ(shot.pixelColor(background), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(glyph), glyphColour);

    Click(d.Window, "CBTransparent");
    shot = box->grab().toImage();
    EXPECT_EQ(shot.pixelColor(background), d.Window.palette().window().color());
    EXPECT_EQ(shot.pixelColor(glyph), glyphColour);
  });
}

TEST(CTableWindow, ScreenReadersFindEveryControlByName) {
  TDialog d;
  const TColoursImage image(3);
  d.Core.Prepare(image.Source);
  WhileShown(d.Window, [&] {
    EXPECT_EQ(AccessibleName(Control<QLineEdit>(d.Window, "Emask")),
              QStringLiteral("File name mask:"));
    // The placeholders the fixed hint does not name are told to screen readers too.
    const QString more =
        QAccessible::queryAccessibleInterface(Control<QLineEdit>(d.Window, "Emask"))
            ->text(QAccessible::Description);
    EXPECT_TRUE(more.contains("%0Nn") && more.contains("%s")) << more.toStdString();
    EXPECT_EQ(AccessibleName(Control<QWidget>(d.Window, "PBox")), QStringLiteral("Image"));
    auto* grid = Control<QTableWidget>(d.Window, "CGrid");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("Colour table"));
    ASSERT_NE(table->tableInterface(), nullptr);
    QAccessibleInterface* back = table->tableInterface()->cellAt(0, 0);
    QAccessibleInterface* other = table->tableInterface()->cellAt(0, 1);
    ASSERT_TRUE(back && other);
    EXPECT_EQ(back->text(QAccessible::Name), QStringLiteral("16777215 BG"));
    EXPECT_EQ(other->text(QAccessible::Name), QString::number(image.Preview.GetPixel(1, 0)));
    const std::pair<const char*, const char*> captions[] = {
        {"CBTransparent", "Transparent background color"},
        {"RS3", "Save as solid GIF-file"},
        {"RBJS1", "Plain HTML"},
        {"CBSS", "Write image size to HTML"},
        {"CB2x", "Also 2x for HiDPI screens"},
        {"BSave", "Save"},
        {"bClose", "Close"}};
    for (const auto& [name, caption] : captions)
      EXPECT_EQ(AccessibleName(Control<QWidget>(d.Window, name)), QLatin1String(caption)) << name;
    // A combo box's name is its choice; screen readers name it by its label.
    QAccessibleInterface* format =
        QAccessible::queryAccessibleInterface(Control<QComboBox>(d.Window, "CBFormat"));
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->role(), QAccessible::ComboBox);
    const auto labels = format->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name), QStringLiteral("Image format:"));
  });
}

// Tab enters a group of radio buttons at its chosen one; the arrows move in it.
TEST(CTableWindow, TabVisitsTheControlsInReadingOrder) {
  struct Case {
    const char* choice;
    std::vector<std::string> order;
  };
  const Case cases[] = {
      {"RS1",
       {"ScrollBox1", "CGrid", "CBTransparent", "CBFormat", "CB2x", "RS1", "RBJS1", "RBNAS", "CBSS",
        "CBAlt", "BSave", "bClose", "ScrollBox1"}},
      {"RS2",
       {"ScrollBox1", "CGrid", "CBTransparent", "CBFormat", "CB2x", "RS2", "Emask", "BSave",
        "bClose"}},
      {"RS3",
       {"ScrollBox1", "CGrid", "CBTransparent", "CBFormat", "CB2x", "RS3", "BSave", "bClose"}},
  };
  for (const Case& c : cases) {
    TDialog d;
    const TFakeRendering r({"Hi"});
    d.Core.Prepare(r.Source);
    WhileShown(d.Window, [&] {
      Click(d.Window, c.choice);
      d.Window.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&d.Window));
      Control<QWidget>(d.Window, "ScrollBox1")->setFocus(Qt::TabFocusReason);
      std::vector<std::string> visited;
      for (std::size_t i = 0; i < c.order.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        visited.push_back(focus ? focus->objectName().toStdString() : "(none)");
        QTest::keyClick(focus ? focus : &d.Window, Qt::Key_Tab);
      }
      EXPECT_EQ(visited, c.order) << c.choice;
    });
  }
}

TEST(CTableWindow, CancelInTheProgressDialogStopsAfterTheCurrentFile) {
  TDialog d;
  TTempDir dir;
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i)
    lines.push_back(std::string("L").append(std::to_string(i)));
  const TFakeRendering r(lines);
  d.Core.Choices.Save = TSaveKind::Lines;
  d.Core.Choices.Mask = "%t.gif";
  d.Core.Prepare(r.Source);
  d.Platform.Folder = dir.Folder();
  d.Window.ProgressAfterMs = 0; // at once, rather than after half a second
  int doneAtCancel = -1;
  std::function<void()> cancelWhenShown = [&] {
    auto* progress = d.Window.findChild<QProgressDialog*>();
    if (!progress || !progress->isVisible()) {
      QTimer::singleShot(0, &d.Window, cancelWhenShown);
      return;
    }
    doneAtCancel = progress->value();
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
  };
  WhileShown(d.Window, [&] {
    QTimer::singleShot(0, &d.Window, cancelWhenShown);
    Click(d.Window, "BSave");
    EXPECT_FALSE(d.Window.isVisible());
  });
  ASSERT_GT(doneAtCancel, 0) << "the progress dialog showed";
  ASSERT_LT(doneAtCancel, 300);
  // Exactly the lines done when "Cancel" was clicked, each file whole.
  std::set<std::string> expected;
  for (int i = 1; i <= doneAtCancel; ++i)
    expected.insert("L" + std::to_string(i) + ".gif");
  EXPECT_EQ(dir.Files(), expected);
  for (const std::string& name : expected) {
    TGif saved;
    saved.LoadFromFile(dir.Folder() + name);
    EXPECT_EQ(saved.GetBitmap(0).Height(), TFakeFont::LineHeight) << name;
  }
  EXPECT_TRUE(d.Platform.Errors.empty());
  EXPECT_EQ(d.Window.findChild<QProgressDialog*>(), nullptr) << "gone with the save";
}

namespace {

// The desktop's own boxes; only the save-file dialog answers by itself.
struct TDesktopBoxes : TQtPlatform {
  std::string SaveTo;
  std::optional<std::string> SaveFileDialog(const TSaveFileRequest&) override { return SaveTo; }
  void ShellOpen(const std::string&) override {}
};

QMessageBox* ShownBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  return nullptr;
}

} // namespace

TEST(CTableWindow, BoxesDuringASaveStandAboveItsProgressAndKeepTheirInput) {
  struct TCase {
    const char* Text; // names as characters: the slash is refused with the error box
    Qt::Key Key;      // pressed twice, at the window on top; none: a click on the box
  } cases[] = {{R"(Say "Hi" \o/)", Qt::Key_Return},
               // The refused name first: the progress falls due while its box is up.
               {R"(/o\ Say "Hi")", Qt::Key_Escape},
               {R"(Say "Hi" \o/)", Qt::Key_unknown}};
  for (const TCase& c : cases) {
    TDesktopBoxes platform;
    TCTable core;
    TCTableWindow window(core, platform);
    window.ProgressAfterMs = 0;
    TTempDir dir;
    platform.SaveTo = dir.Folder() + "page.html";
    const TFakeRendering r({c.Text});
    core.Choices.NameAsChar = true;
    core.Prepare(r.Source);

    int boxes = 0, covered = 0;
    bool progressSeen = false, answering = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* progress = window.findChild<QProgressDialog*>();
      const bool progressUp = progress && progress->isVisible();
      QPointer<QMessageBox> box = ShownBox();
      progressSeen = progressSeen || (progressUp && !box);
      if (!box || answering) return;
      answering = true;
      ++boxes;
      covered += progressUp || QApplication::activeModalWidget() != box;
      for (int i = 0; c.Key != Qt::Key_unknown && i < 2; ++i)
        if (QWidget* top = QApplication::activeModalWidget())
          QTest::keyClick(top->focusWidget() ? top->focusWidget() : top, c.Key);
      if (c.Key == Qt::Key_unknown)
        QTest::mouseClick(box->escapeButton() ? box->escapeButton() : box->buttons()[0],
                          Qt::LeftButton);
      QCoreApplication::processEvents();
      if (box && box->isVisible()) { // the input went elsewhere
        ++covered;
        box->reject();
      }
      answering = false;
    });
    poll.start(5);
    WhileShown(window, [&] { Click(window, "BSave"); });

    EXPECT_TRUE(progressSeen) << c.Text;
    EXPECT_EQ(boxes, 2) << c.Text << ": the refused name, then \"Open result file?\"";
    EXPECT_EQ(covered, 0) << c.Text;
    EXPECT_TRUE(dir.Files().contains("page.html")) << c.Text << ": the save was not cancelled";
  }
}

TEST(CTableWindow, ArrowsChooseWithinARadioGroup) {
  TDialog d;
  const TFakeRendering r({"Hi"});
  d.Core.Prepare(r.Source);
  WhileShown(d.Window, [&] {
    d.Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d.Window));
    QWidget* rs1 = Control<QWidget>(d.Window, "RS1");
    rs1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rs1, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), Control<QWidget>(d.Window, "RS3"));
    EXPECT_EQ(d.Core.Choices.Save, TSaveKind::Solid);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(d.Core.Choices.Save, TSaveKind::Lines);
    EXPECT_TRUE(Control<QWidget>(d.Window, "Emask")->isEnabled());

    QWidget* plain = Control<QWidget>(d.Window, "RBJS1");
    Click(d.Window, "RS1");
    plain->setFocus(Qt::TabFocusReason);
    QTest::keyClick(plain, Qt::Key_Down);
    EXPECT_TRUE(d.Core.Choices.IncludeScript);
    EXPECT_EQ(d.Core.Choices.Save, TSaveKind::Html) << "a group of its own";
  });
}

TEST(CTableWindow, EnterOnACellRecoloursItLikeADoubleClick) {
  TDialog d;
  const TColoursImage image(9);
  d.Core.Prepare(image.Source);
  d.Platform.Chosen = 0x00FF00;
  WhileShown(d.Window, [&] {
    auto* grid = Control<QTableWidget>(d.Window, "CGrid");
    grid->setCurrentCell(0, 2);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(d.Core.CellColor(2, 0), 0x00FF00u);
    grid->setCurrentCell(1, 5);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(d.Platform.Beeps, 1) << "an empty cell";
    EXPECT_TRUE(d.Window.isVisible()) << "Enter in the grid does not close the dialog";
  });
}
