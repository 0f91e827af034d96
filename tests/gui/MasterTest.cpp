// The main window driven as a user drives it: menu items, buttons, typing,
// the colour swatches, "Convert"; and what the user sees: the preview, the
// enabled states, the error boxes, the captions, what a screen reader reads.
#include "gui/Master.h"
#include "FakePlatform.h"

#include "gui/Application.h"
#include "gui/CTableWindow.h"
#include "gui/ColorSwatch.h"
#include "gui/PreviewBox.h"
#include "gui/QtPlatform.h"
#include "gui/SpinEditWidget.h"
#include "text/Font.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TMasterTest : ::testing::Test {
  TFakePlatform Platform;
  std::unique_ptr<TMaster> M;

  void SetUp() override {
    M = std::make_unique<TMaster>(Platform, Platform);
    M->show();
    QApplication::setActiveWindow(M.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(M.get()));
  }

  void Click(QAbstractButton* Button) {
    QTest::mouseClick(Button, Qt::LeftButton, {}, Button->rect().center());
    QCoreApplication::processEvents();
  }
  void Type(const QString& Text) {
    RWordsFocus();
    const QStringList lines = Text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(M->RWords, Qt::Key_Return);
      QTest::keyClicks(M->RWords, lines[i]);
    }
  }
  void RWordsFocus() {
    M->RWords->setFocus();
    QTest::mouseClick(M->RWords->viewport(), Qt::LeftButton);
  }
  void Select(QComboBox* List, int Index) {
    // As the keyboard does on a closed list: one line at a time.
    // Opens the list and clicks the line.
    ASSERT_GE(Index, 0);
    ASSERT_LT(Index, List->count());
    List->showPopup();
    QAbstractItemView* view = List->view();
    ASSERT_TRUE(view->isVisible());
    const QModelIndex item = List->model()->index(Index, 0);
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(4, view->visualRect(item).center().y()));
    QCoreApplication::processEvents();
    ASSERT_EQ(List->currentIndex(), Index);
  }
  void ChooseMenuItem(const QString& Caption) {
    Click(M->bAFIll);
    ASSERT_TRUE(M->PMenu->isVisible());
    for (QAction* action : M->PMenu->actions())
      if (action->text() == Caption) {
        QTest::mouseClick(M->PMenu, Qt::LeftButton, {}, M->PMenu->actionGeometry(action).center());
        QCoreApplication::processEvents();
        return;
      }
    FAIL() << "no menu item " << Caption.toStdString();
  }
  // Presses "Convert"; Inspect sees the dialog while it is shown, then it is closed.
  struct TPoll {
    std::function<void(QWidget*)> Inspect;
    bool Shown = false;
    bool Done = false; // "Convert" has returned: stop looking
  };
  // Waits for the modal dialog, shows it to Inspect and closes it.
  static void LookForDialog(const std::shared_ptr<TPoll>& Poll) {
    if (Poll->Done) return;
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) {
      QTimer::singleShot(5, [Poll] { LookForDialog(Poll); });
      return;
    }
    Poll->Shown = true;
    if (Poll->Inspect) Poll->Inspect(dialog);
    dialog->close();
  }
  void Convert(const std::function<void(QWidget*)>& Inspect = {}) {
    auto poll = std::make_shared<TPoll>();
    poll->Inspect = Inspect;
    QTimer::singleShot(0, [poll] { LookForDialog(poll); });
    Click(M->bSave);
    poll->Done = true;
    if (Platform.Errors.empty()) {
      EXPECT_TRUE(poll->Shown);
    }
  }
  std::vector<std::string> Lines() const { return M->ReadSettings().Lines; }
  const TBitmap& Preview() const { return M->Rendering()->FPreview; }
};

// Leftmost column with a pixel unlike the top-left one, in rows [Top, Bottom).
int InkLeft(const TBitmap& B, int Top, int Bottom) {
  const TColor back = B.GetPixel(0, 0);
  for (int x = 0; x < B.Width(); ++x)
    for (int y = Top; y < Bottom; ++y)
      if (B.GetPixel(x, y) != back) return x;
  return -1;
}

bool HasColor(const TBitmap& B, TColor C) {
  for (int y = 0; y < B.Height(); ++y)
    for (int x = 0; x < B.Width(); ++x)
      if (B.GetPixel(x, y) == C) return true;
  return false;
}

TEST_F(TMasterTest, OpensAsTheFormSays) {
  EXPECT_EQ(M->windowTitle(), "Glyptika v1.2");
  EXPECT_EQ(M->size(), QSize(493, 264));
  EXPECT_EQ(M->minimumSize(), M->maximumSize()) << "not resizable";
  EXPECT_EQ(M->font().pixelSize(), 11);
  const QString family = M->font().family();
  EXPECT_TRUE(family == "Tahoma" || family.toStdString() == ClosestInstalledFace("Tahoma"))
      << family.toStdString();

  EXPECT_GT(M->FontList->count(), 0);
  EXPECT_EQ(M->FontList->currentIndex(), 0);
  EXPECT_GT(M->FontStyle->count(), 0);
  EXPECT_EQ(M->FontStyle->currentIndex(), 0);
  EXPECT_EQ(M->CBWidth->currentText(), "To max string");
  EXPECT_EQ(M->CBUnit->currentText(), "px");
  EXPECT_EQ(M->SpinSize->text(), "30");
  EXPECT_EQ(M->SpinDist->text(), "1");
  EXPECT_EQ(M->SWidth->text(), "0");
  EXPECT_TRUE(M->SWidth->isEnabled());
  EXPECT_FALSE(M->cbShadow->isChecked());
  EXPECT_FALSE(M->CBUnder->isChecked());
  EXPECT_TRUE(M->CBAnti->isChecked());
  EXPECT_TRUE(M->bLeft->isChecked());
  EXPECT_EQ(M->CFont->Color(), RGB(0, 0, 0));
  EXPECT_EQ(M->CBg->Color(), RGB(255, 255, 255));
  EXPECT_EQ(M->CShad->Color(), FromQColor(M->palette().color(QPalette::Dark)));
  EXPECT_FALSE(M->bSave->isEnabled());
  EXPECT_TRUE(M->RWords->toPlainText().isEmpty());
  EXPECT_FALSE(M->Rendering());
  EXPECT_EQ(M->RenderCount(), 0);
  EXPECT_TRUE(Platform.Errors.empty());
}

TEST_F(TMasterTest, AutoFillReplacesTheTextAndRendersAtOnce) {
  struct TCase {
    const char* Item;
    std::size_t Lines;
    std::string First, Last;
  } cases[] = {
      {"Digits [0..9]", 10, "0", "9"},
      {"Numbers for Calendar [1..31]", 31, "1", "31"},
      {"CAPS chars [A..Z]", 26, "A", "Z"},
      {"All font chars [#32..#255]", 224, " ", "\xC3\xBF"},
  };
  Type("old text");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Item);
    const int before = M->RenderCount();
    ChooseMenuItem(QString::fromLatin1(c.Item));
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), c.Lines);
    EXPECT_EQ(lines.front(), c.First);
    EXPECT_EQ(lines.back(), c.Last);
    EXPECT_EQ(M->RenderCount(), before + 1);
    ASSERT_TRUE(M->Rendering());
    EXPECT_EQ(M->Rendering()->Lines, lines);
    EXPECT_TRUE(M->bSave->isEnabled());
  }
  // The no-break space (code 160) stays one, not a plain space.
  EXPECT_EQ(Lines()[160 - 32], "\xC2\xA0");
}

TEST_F(TMasterTest, AutoFillMenuOpensAtTheButtonsBottomLeft) {
  Click(M->bAFIll);
  ASSERT_TRUE(M->PMenu->isVisible());
  EXPECT_EQ(M->PMenu->pos(), M->bAFIll->mapToGlobal(QPoint(0, M->bAFIll->height())));
  QStringList captions;
  for (QAction* a : M->PMenu->actions())
    captions << a->text();
  EXPECT_EQ(captions, QStringList({"Digits [0..9]", "Numbers for Calendar [1..31]",
                                   "CAPS chars [A..Z]", "All font chars [#32..#255]"}));
  M->PMenu->close();
}

TEST_F(TMasterTest, TheseChangesRenderAtOnce) {
  struct TCase {
    const char* What;
    std::function<void(TMasterTest&)> Do;
  } cases[] = {
      {"centre button", [](TMasterTest& t) { t.Click(t.M->bCenter); }},
      {"right button", [](TMasterTest& t) { t.Click(t.M->bRight); }},
      {"drop shadow", [](TMasterTest& t) { t.Click(t.M->cbShadow); }},
      {"underline", [](TMasterTest& t) { t.Click(t.M->CBUnder); }},
      {"anti-alias", [](TMasterTest& t) { t.Click(t.M->CBAnti); }},
      {"font name",
       [](TMasterTest& t) {
         t.Select(t.M->FontList, t.M->FontList->findText("Liberation Serif"));
       }},
      {"font style", [](TMasterTest& t) { t.Select(t.M->FontStyle, 2); }},
      {"distance arrow",
       [](TMasterTest& t) {
         t.Click(t.M->SpinDist->SpinButton()->UpArrow());
         QTest::qWait(10);
       }},
      {"font colour",
       [](TMasterTest& t) {
         t.Platform.Colors.push_back(RGB(200, 0, 0));
         QTest::mouseClick(t.M->CFont, Qt::RightButton);
       }},
  };
  Type("Hi");
  Click(M->bUpdate);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const int before = M->RenderCount();
    c.Do(*this);
    EXPECT_EQ(M->RenderCount(), before + 1);
  }
  EXPECT_TRUE(Platform.Errors.empty());
}

TEST_F(TMasterTest, TheseChangesWaitForUpdate) {
  struct TCase {
    const char* What;
    std::function<void(TMasterTest&)> Do;
    bool Shows = true; // whether "Update" then draws something else
  } cases[] = {
      {"typing text", [](TMasterTest& t) { t.Type("more"); }},
      {"size typed",
       [](TMasterTest& t) {
         t.M->SpinSize->selectAll();
         QTest::keyClicks(t.M->SpinSize, "44");
       }},
      {"size arrow", [](TMasterTest& t) { t.Click(t.M->SpinSize->SpinButton()->UpArrow()); }},
      {"unit", [](TMasterTest& t) { t.Select(t.M->CBUnit, 1); }, false},
      {"width mode", [](TMasterTest& t) { t.Select(t.M->CBWidth, 2); }, false},
      {"user width",
       [](TMasterTest& t) {
         t.M->SWidth->selectAll();
         QTest::keyClicks(t.M->SWidth, "300");
       }},
  };
  Type("Hi");
  Click(M->bUpdate);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const int before = M->RenderCount();
    const TBitmap old = Preview();
    c.Do(*this);
    QTest::qWait(10);
    EXPECT_EQ(M->RenderCount(), before);
    EXPECT_TRUE(Preview() == old);
    Click(M->bUpdate);
    EXPECT_EQ(M->RenderCount(), before + 1);
    EXPECT_EQ(!(Preview() == old), c.Shows) << "Update shows the change";
  }
}

TEST_F(TMasterTest, CentreButtonCentresTheShortLineAtOnce) {
  Type("WWWWWWWW\ni");
  Click(M->bUpdate);
  const int lineHeight = Preview().Height() / 2;
  const int leftInk = InkLeft(Preview(), lineHeight, 2 * lineHeight);
  Click(M->bCenter);
  EXPECT_EQ(M->FAlign(), TAlign::Center);
  EXPECT_TRUE(M->bCenter->isChecked());
  EXPECT_FALSE(M->bLeft->isChecked()) << "one button of the group is down";
  const int centredInk = InkLeft(Preview(), lineHeight, 2 * lineHeight);
  EXPECT_GT(centredInk, leftInk + Preview().Width() / 3);
  EXPECT_LT(centredInk, Preview().Width() * 2 / 3);
}

// Every system this runs on draws anti-aliased text: the window starts with
// it on, and the box takes the in-between colours of the edges away and back.
TEST_F(TMasterTest, AntiAliasIsOnFromTheStartAndTheBoxSwitchesTheSmoothEdges) {
  const auto colours = [this] {
    std::set<TColor> seen;
    for (int y = 0; y < Preview().Height(); ++y)
      for (int x = 0; x < Preview().Width(); ++x)
        seen.insert(Preview().GetPixel(x, y));
    return seen.size();
  };
  Type("Sow & reap");
  Click(M->bUpdate);
  EXPECT_GT(colours(), 10u) << "smooth edges from the start";
  Click(M->CBAnti);
  EXPECT_EQ(colours(), 2u) << "the text's colour and the background's";
  Click(M->CBAnti);
  EXPECT_GT(colours(), 10u);
}

TEST_F(TMasterTest, ColourDialogAcceptedOrCancelledRendersEitherWay) {
  Type("Hello");
  Click(M->bUpdate);
  struct TCase {
    TColorSwatch* TMaster::*Swatch;
    std::optional<TColor> Answer;
    TColor Expected;
  } cases[] = {
      {&TMaster::CFont, std::nullopt, RGB(0, 0, 0)},
      {&TMaster::CFont, RGB(255, 0, 0), RGB(255, 0, 0)},
      {&TMaster::CBg, RGB(0, 0, 255), RGB(0, 0, 255)},
      {&TMaster::CBg, std::nullopt, RGB(0, 0, 255)},
  };
  for (const TCase& c : cases) {
    TColorSwatch* swatch = (*M).*(c.Swatch);
    const TColor old = swatch->Color();
    const TBitmap oldPreview = Preview();
    Platform.Colors = {c.Answer};
    const int before = M->RenderCount();
    QTest::mouseClick(swatch, Qt::LeftButton);
    EXPECT_EQ(Platform.ColorAsked.back(), old) << "the dialog opens with the swatch's colour";
    EXPECT_EQ(swatch->Color(), c.Expected);
    EXPECT_EQ(M->RenderCount(), before + 1);
    EXPECT_EQ(Preview() == oldPreview, !c.Answer) << "drawn in the old colour after a cancel";
  }
  EXPECT_TRUE(HasColor(Preview(), RGB(0, 0, 255))) << "the background";
  // The shadow swatch from the keyboard.
  M->CShad->setFocus();
  Platform.Colors = {RGB(0, 128, 0)};
  QTest::keyClick(M->CShad, Qt::Key_Space);
  EXPECT_EQ(M->CShad->Color(), RGB(0, 128, 0));
}

TEST_F(TMasterTest, ConvertWaitsForTheFirstRenderingWithText) {
  EXPECT_FALSE(M->bSave->isEnabled());
  Click(M->bUpdate);
  EXPECT_FALSE(M->bSave->isEnabled()) << "no text, nothing rendered";
  Type("A");
  EXPECT_FALSE(M->bSave->isEnabled()) << "typing alone renders nothing";
  Click(M->bUpdate);
  EXPECT_TRUE(M->bSave->isEnabled());
  M->RWords->clear();
  Click(M->bUpdate);
  EXPECT_TRUE(M->bSave->isEnabled()) << "an empty text keeps the last rendering";
  EXPECT_EQ(M->Rendering()->Lines, std::vector<std::string>{"A"});
}

QRadioButton* ChoiceButton(QWidget* Dialog, const QString& CaptionStart) {
  for (QRadioButton* b : Dialog->findChildren<QRadioButton*>())
    if (b->text().startsWith(CaptionStart)) return b;
  return nullptr;
}

TEST_F(TMasterTest, ConvertWithAShadowTurnsTheHtmlChoiceOff) {
  Type("Hi");
  Click(M->bUpdate);
  ASSERT_EQ(M->CTable().Choices.Save, TSaveKind::Html);

  struct TStep {
    bool Shadow;
    TSaveKind Save;
    bool HtmlEnabled;
  } steps[] = {
      {false, TSaveKind::Html, true},
      {true, TSaveKind::Solid, false},
      {false, TSaveKind::Solid, true}, // enabled again, the choice stays
  };
  for (const TStep& s : steps) {
    if (M->cbShadow->isChecked() != s.Shadow) Click(M->cbShadow);
    bool enabled = !s.HtmlEnabled;
    Convert([&](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Color table & type Save ");
      QRadioButton* rs1 = ChoiceButton(dialog, "Save as HTML with using GIF as chars");
      ASSERT_TRUE(rs1);
      enabled = rs1->isEnabled();
    });
    EXPECT_EQ(M->CTable().Choices.Save, s.Save);
    EXPECT_EQ(enabled, s.HtmlEnabled);
    EXPECT_FALSE(M->CTable().Prepared()) << "the dialog's image goes when it closes";
  }
  EXPECT_EQ(Platform.Busy, 0);
  EXPECT_GT(Platform.BusyCalls, 0) << "the busy cursor while the dialog is prepared";
  EXPECT_TRUE(Platform.Errors.empty());
}

TEST_F(TMasterTest, ConvertRendersTheCurrentSettingsFirst) {
  Type("Hi");
  Click(M->bUpdate);
  Type("gh");
  Convert();
  EXPECT_EQ(M->Rendering()->Lines, std::vector<std::string>{"High"});
}

TEST_F(TMasterTest, AnErrorOfTheCoreShowsABoxAndTheWindowGoesOn) {
  struct TCase {
    const char* What;
    std::function<void(TMasterTest&)> Do;
    std::string Message;
  } cases[] = {
      {"a rendering too large to allocate",
       [](TMasterTest& t) {
         t.M->RWords->setPlainText(QString("W\n").repeated(40));
         t.Select(t.M->CBWidth, 2);
         t.M->SWidth->SetValue(32000);
         t.M->SpinSize->SetValue(1000);
         t.Click(t.M->bUpdate);
       },
       "too large"},
      {"converting lines without a pixel",
       [](TMasterTest& t) {
         t.M->RWords->setPlainText("\n");
         t.Convert();
       },
       "Nothing to convert"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    Platform.Errors.clear();
    c.Do(*this);
    ASSERT_EQ(Platform.Errors.size(), 1u);
    EXPECT_NE(Platform.Errors[0].find(c.Message), std::string::npos) << Platform.Errors[0];
    EXPECT_EQ(Platform.Busy, 0) << "the busy cursor is gone";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Usable: a sensible text renders and converts.
    Select(M->CBWidth, 1);
    M->SpinSize->SetValue(30);
    M->RWords->setPlainText("ok");
    const int before = M->RenderCount();
    Click(M->bUpdate);
    EXPECT_EQ(M->RenderCount(), before + 1);
    Platform.Errors.clear();
    Convert();
    EXPECT_TRUE(Platform.Errors.empty());
  }
}

TEST_F(TMasterTest, NoHandlerRunsInsideAnother) {
  Type("Hi");
  Click(M->bUpdate);
  int during = -1;
  Platform.WhileBusy = [&] {
    // A click that got through while the dialog is prepared.
    const int before = M->RenderCount();
    M->bUpdate->click();
    M->bCenter->click();
    during = M->RenderCount() - before;
  };
  Convert();
  EXPECT_EQ(during, 0);
}

TEST_F(TMasterTest, DistanceChangeRendersWithTheNewDistance) {
  Type("Hi");
  Click(M->cbShadow);
  const int narrow = Preview().Width();
  Click(M->SpinDist->SpinButton()->UpArrow());
  QTest::qWait(10);
  EXPECT_EQ(M->Rendering()->ShadowDistance, 2);
  EXPECT_EQ(Preview().Width(), narrow + 1);
}

TEST_F(TMasterTest, UserWidthBoundsFollowTheWidthMode) {
  EXPECT_EQ(M->SWidth->MinValue(), 0);
  EXPECT_EQ(M->SWidth->MaxValue(), 32000);
  Type("Hello");
  Click(M->bUpdate);
  const int w = Preview().Width();
  EXPECT_EQ(M->SWidth->MinValue(), w);
  EXPECT_EQ(M->SWidth->MaxValue(), w);
  EXPECT_FALSE(M->SWidth->isEnabled());
  EXPECT_EQ(M->SWidth->text().toInt(), w);

  Select(M->CBWidth, 2);
  EXPECT_EQ(M->SWidth->MinValue(), w);
  EXPECT_EQ(M->SWidth->MaxValue(), 32000);
  EXPECT_TRUE(M->SWidth->isEnabled());
  M->SWidth->selectAll();
  QTest::keyClicks(M->SWidth, "400");
  Click(M->bUpdate);
  EXPECT_EQ(Preview().Width(), 400);

  Select(M->CBWidth, 0);
  EXPECT_FALSE(M->SWidth->isEnabled());
}

TEST_F(TMasterTest, UnitSwitchConvertsTheSizeAndRendersTheSame) {
  Type("Hi");
  Click(M->bUpdate);
  const TBitmap px = Preview();
  const int before = M->RenderCount();
  Select(M->CBUnit, 1);
  EXPECT_EQ(M->SpinSize->text(), QString("%1").arg(30.0 * 72 / M->LogPixelsY(), 0, 'f', 1));
  EXPECT_EQ(M->RenderCount(), before);
  Click(M->bUpdate);
  EXPECT_TRUE(Preview() == px) << "the same pixel size in points";
  Select(M->CBUnit, 0);
  EXPECT_EQ(M->SpinSize->text(), "30");
}

TEST_F(TMasterTest, PreviewPaintsTheRenderingInAScrollBox) {
  ChooseMenuItem("CAPS chars [A..Z]");
  EXPECT_EQ(M->ScrollBox->widget(), M->PreView);
  EXPECT_EQ(M->PreView->size(), QSize(Preview().Width(), Preview().Height()));
  EXPECT_GT(M->PreView->height(), M->ScrollBox->viewport()->height()) << "26 lines scroll";
  const QImage shown = M->PreView->grab().toImage();
  ASSERT_EQ(shown.size(), QSize(Preview().Width(), Preview().Height()));
  int wrong = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      wrong += shown.pixelColor(x, y) != ToQColor(Preview().GetPixel(x, y));
  EXPECT_EQ(wrong, 0) << "the preview shows the rendering's pixels";
}

// What a caption needs to be shown whole in its control.
int NeededWidth(QWidget* W, QString* Caption) {
  const QFontMetrics fm = W->fontMetrics();
  if (auto* label = qobject_cast<QLabel*>(W)) {
    *Caption = label->text();
    return fm.horizontalAdvance(label->text());
  }
  if (auto* box = qobject_cast<QCheckBox*>(W)) {
    *Caption = box->text();
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).left() +
           fm.horizontalAdvance(box->text());
  }
  if (auto* button = qobject_cast<QPushButton*>(W)) {
    *Caption = button->text();
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return fm.horizontalAdvance(button->text()) + icon + 4;
  }
  if (auto* list = qobject_cast<QComboBox*>(W)) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    const QRect field =
        list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField);
    int text = 0;
    for (int i = 0; i < list->count(); ++i) {
      text = std::max(text, fm.horizontalAdvance(list->itemText(i)));
      *Caption += list->itemText(i) + " ";
    }
    return text + (list->width() - field.width());
  }
  return 0;
}

// The banner page has loaded: the picture goes, the small link shows.
void LoadBannerPage(TMaster& M) {
  M.Banner->ShowWebPanel();
  M.Banner->Core().WebBrowserDocumentComplete("http://glyptika.example/baner.php?v=3");
  ASSERT_TRUE(M.LWWW2->isVisible());
}

TEST_F(TMasterTest, NoCaptionIsClippedAndNoControlsOverlap) {
  const std::vector<QWidget*> captioned = {
      M->Label1, M->Label2,  M->Label6, M->Label5,   M->Label7,  M->Label9,
      M->Label3, M->Label4,  M->Label8, M->cbShadow, M->CBUnder, M->CBAnti,
      M->bAFIll, M->bUpdate, M->bSave,  M->BClose,   M->CBWidth, M->CBUnit};
  for (QWidget* w : captioned) {
    QString caption;
    const int need = NeededWidth(w, &caption);
    EXPECT_LE(need, w->width()) << caption.toStdString();
    EXPECT_LE(w->fontMetrics().height(), w->height()) << caption.toStdString();
  }
  for (const char* state : {"at start", "with the banner page"}) {
    if (state[0] == 'w') LoadBannerPage(*M);
    std::vector<QWidget*> shown;
    for (QWidget* w : M->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (w->isVisible() && !w->isWindow()) shown.push_back(w);
    for (std::size_t i = 0; i < shown.size(); ++i) {
      EXPECT_TRUE(M->rect().contains(shown[i]->geometry()))
          << state << ": " << shown[i]->objectName().toStdString();
      for (std::size_t j = i + 1; j < shown.size(); ++j)
        EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
            << state << ": " << shown[i]->objectName().toStdString() << " and "
            << shown[j]->objectName().toStdString();
    }
  }
}

// Pixels of an edit's text scrolled out of sight at its left; 0 when the
// text is shown whole.
int ScrolledAway(QLineEdit* Edit) {
  const auto caret = [Edit] {
    return Edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
  };
  Edit->home(false);
  (void)Edit->grab(); // the edit scrolls as it paints
  const int start = caret();
  Edit->end(false);
  (void)Edit->grab();
  QTextLayout layout(Edit->text(), Edit->font());
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  return start + qRound(line.cursorToX(int(Edit->text().size()))) - caret();
}

TEST_F(TMasterTest, SizeIsShownWholeInBothUnits) {
  struct TCase {
    int Unit; // px, pt
    const char* Size;
  } cases[] = {{0, "1000"}, {1, "22.5"}, {1, "30.0"}, {1, "999.75"}, {1, "1000.0"}};
  for (const TCase& c : cases) {
    Select(M->CBUnit, c.Unit);
    M->SpinSize->setFocus();
    M->SpinSize->selectAll();
    QTest::keyClicks(M->SpinSize, QString::fromLatin1(c.Size));
    QTest::keyClick(M->SpinSize, Qt::Key_Return);
    ASSERT_EQ(M->SpinSize->text(), c.Size);
    EXPECT_EQ(ScrolledAway(M->SpinSize), 0) << c.Size;
  }
}

TEST_F(TMasterTest, ScreenReadersReadEveryControlByItsCaption) {
  struct TCase {
    QWidget* Widget;
    const char* Name;
    QLabel* Label; // the label that names it, if any
  } cases[] = {
      {M->FontList, "Font name", M->Label1},  {M->FontStyle, "Font style", M->Label2},
      {M->CBWidth, "Width", M->Label6},       {M->SpinSize, "Size", M->Label5},
      {M->SpinDist, "Distance", M->Label9},   {M->CFont, "Font color", M->Label3},
      {M->CBg, "Bg color", M->Label4},        {M->CShad, "Shadow color", M->Label8},
      {M->CBUnit, "Unit", nullptr},           {M->SWidth, "Width in pixels", nullptr},
      {M->RWords, "Text", nullptr},           {M->cbShadow, "Drop Shadow", nullptr},
      {M->CBUnder, "Underline", nullptr},     {M->CBAnti, "Anti-alias", nullptr},
      {M->bLeft, "Align to left", nullptr},   {M->bCenter, "Align to center", nullptr},
      {M->bRight, "Align to right", nullptr}, {M->bAFIll, "Auto Fill", nullptr},
      {M->bUpdate, "Update", nullptr},        {M->bSave, "Convert", nullptr},
      {M->BClose, "Close", nullptr},
  };
  for (const TCase& c : cases) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.Widget);
    ASSERT_TRUE(a) << c.Name;
    // Linux screen readers take a list's name from its label and read its line
    // as the name; a list without a label carries one for other tools.
    if (auto* list = qobject_cast<QComboBox*>(c.Widget)) {
      if (!c.Label) {
        EXPECT_EQ(list->accessibleName(), c.Name);
      }
    } else {
      EXPECT_EQ(a->text(QAccessible::Name), c.Name);
    }
    if (c.Label) {
      EXPECT_EQ(c.Label->buddy(), c.Widget) << c.Name;
      bool labelled = false;
      for (const auto& [other, relation] : a->relations(QAccessible::Label))
        labelled = labelled || other->object() == c.Label;
      EXPECT_TRUE(labelled) << c.Name;
    }
  }
  for (QAction* item : M->PMenu->actions())
    EXPECT_FALSE(item->text().isEmpty());
  const auto role = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->role(); };
  EXPECT_EQ(role(M->bUpdate), QAccessible::Button);
  EXPECT_EQ(role(M->CFont), QAccessible::Button);
  EXPECT_EQ(role(M->cbShadow), QAccessible::CheckBox);
  EXPECT_EQ(role(M->FontList), QAccessible::ComboBox);
  EXPECT_EQ(role(M->RWords), QAccessible::EditableText);
}

// The accessible objects under Face named Name.
int Named(QAccessibleInterface* Face, const QString& Name) {
  int n = Face->text(QAccessible::Name) == Name ? 1 : 0;
  for (int i = 0; i < Face->childCount(); ++i)
    if (QAccessibleInterface* child = Face->child(i)) n += Named(child, Name);
  return n;
}

TEST_F(TMasterTest, ScreenReadersFindThePreviewAsOneImageOfItsSize) {
  Type("Hi");
  Click(M->bUpdate);
  QAccessibleInterface* preview = QAccessible::queryAccessibleInterface(M->PreView);
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->text(QAccessible::Name), "Preview");
  EXPECT_EQ(preview->role(), QAccessible::Graphic);
  EXPECT_EQ(preview->text(QAccessible::Description),
            QString("%1 \u00D7 %2 pixels").arg(Preview().Width()).arg(Preview().Height()));
  EXPECT_EQ(Named(QAccessible::queryAccessibleInterface(M.get()), "Preview"), 1);
}

TEST_F(TMasterTest, TabFollowsReadingOrderAndShowsWhereItIs) {
  const std::vector<QWidget*> order = {
      M->FontList,    M->cbShadow, M->CFont,  M->FontStyle, M->CBWidth, M->SpinDist,
      M->CBg,         M->SpinSize, M->CBUnit, M->SWidth,    M->CShad,   M->CBUnder,
      M->CBAnti,      M->bLeft,    M->bAFIll, M->RWords,    M->PreView, M->CBShaping,
      M->CBOverhangs, M->bUpdate,  M->bSave,  M->BClose};
  // The alignment buttons are one stop, at the chosen one; the arrows choose.
  // Enable the fields that start disabled, so Tab can stop on them too.
  Type("Hi");
  Click(M->bUpdate);
  Select(M->CBWidth, 2);
  QApplication::setCursorFlashTime(0);    // a caret that does not blink away
  QApplication::setActiveWindow(M.get()); // back from the list's popup
  ASSERT_TRUE(M->isActiveWindow());
  struct TCase {
    const char* State;
    QWidget* Link;     // the banner's link: first, or in the bottom row
    std::size_t After; // its place in order
  } cases[] = {{"at start", M->LabelWWW, 0}, {"with the banner page", M->LWWW2, 19}};
  for (const TCase& c : cases) {
    if (c.Link == M->LWWW2) LoadBannerPage(*M);
    std::vector<QWidget*> stops = order;
    stops.insert(stops.begin() + std::ptrdiff_t(c.After), c.Link);
    stops.push_back(stops[0]); // and round again, past the first
    stops.push_back(stops[1]);
    stops.front()->setFocus();
    QImage focused;
    for (std::size_t i = 1; i < stops.size(); ++i) {
      QTest::keyClick(M->focusWidget(), Qt::Key_Tab);
      ASSERT_TRUE(M->focusWidget());
      EXPECT_EQ(M->focusWidget()->objectName().toStdString(), stops[i]->objectName().toStdString())
          << c.State << " " << i;
      if (i > 1) {
        EXPECT_NE(stops[i - 1]->grab().toImage(), focused)
            << c.State << ": " << stops[i - 1]->objectName().toStdString() << " shows its focus";
      }
      focused = stops[i]->grab().toImage();
    }
  }
  QApplication::setCursorFlashTime(1000);
}

TEST_F(TMasterTest, CloseEndsTheWindow) {
  Click(M->BClose);
  EXPECT_FALSE(M->isVisible());
}

TEST(TApplicationTest, AnExceptionInAnEventIsReportedAndTheLoopGoesOn) {
  auto* app = dynamic_cast<TApplication*>(QCoreApplication::instance());
  ASSERT_TRUE(app);
  std::vector<std::string> reported;
  app->OnException = [&](const std::string& M) { reported.push_back(M); };

  QTimer::singleShot(0, [] { throw std::runtime_error("from a timer"); });
  QTest::qWait(20);
  ASSERT_EQ(reported, std::vector<std::string>{"from a timer"});

  // A held spin arrow whose click fails stops repeating; the edit stays usable.
  TFakePlatform platform;
  QWidget window;
  auto* spin = new TmSpinEdit(platform, &window);
  spin->resize(60, 20);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  TTimerSpeedButton* up = spin->SpinButton()->UpArrow();
  int clicks = 0;
  const std::function<void()> step = up->OnClick;
  up->OnClick = [&] {
    if (++clicks == 2) throw std::runtime_error("step failed");
    step();
  };
  QTest::mousePress(up, Qt::LeftButton, {}, up->rect().center());
  QTest::qWait(TTimerSpeedButton::FirstRepeatMs + 3 * TTimerSpeedButton::RepeatMs);
  QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
  // Two repeats, the second failing and ending the repeat; then the release's click.
  EXPECT_EQ(clicks, 3) << "the repeat stopped at the failure";
  EXPECT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported.back(), "step failed");
  QTest::mouseClick(up, Qt::LeftButton, {}, up->rect().center());
  EXPECT_EQ(clicks, 4);
  app->OnException = nullptr;
}

} // namespace

TEST_F(TMasterTest, KerningAndShapingAndKeptOverhangsRenderAtOnce) {
  struct TCase {
    QCheckBox* Box;
    const char* Caption;
    bool On; // at start
  } cases[] = {{M->CBShaping, "Kerning and shaping", false},
               {M->CBOverhangs, "Keep overhangs", true}};
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Box->text(), c.Caption);
    EXPECT_EQ(c.Box->isChecked(), c.On) << c.Caption;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.Box);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), c.Caption);
    EXPECT_EQ(a->role(), QAccessible::CheckBox);
    EXPECT_LE(c.Box->sizeHint().width(), c.Box->width()) << c.Caption << " is not clipped";
    EXPECT_TRUE(M->rect().contains(c.Box->geometry()));
    for (QWidget* other : std::initializer_list<QWidget*>{
             M->RWords, M->ScrollBox, M->bAFIll, M->bUpdate, M->bSave, M->BClose, M->bLeft,
             M->CBAnti, M->CBShaping, M->CBOverhangs}) {
      if (other == c.Box) continue;
      EXPECT_FALSE(c.Box->geometry().intersects(other->geometry()))
          << c.Caption << " and " << other->objectName().toStdString();
    }
  }

  // "AV" kerned is narrower; the preview follows the click at once.
  Select(M->FontList, M->FontList->findText("DejaVu Sans"));
  Type("AVAVAV");
  Click(M->bUpdate);
  const int plain = Preview().Width();
  Click(M->CBShaping);
  EXPECT_LT(Preview().Width(), plain);
  // A tall accent above the cells makes the image taller when kept.
  M->RWords->setPlainText(QString::fromUtf8("\u1ED6"));
  Click(M->bUpdate);
  const int kept = Preview().Height();
  Click(M->CBOverhangs);
  EXPECT_LT(Preview().Height(), kept);

  // The page of character images is not offered for shaped text.
  bool enabled = true;
  Convert([&](QWidget* dialog) {
    QRadioButton* rs1 = ChoiceButton(dialog, "Save as HTML with using GIF as chars");
    ASSERT_TRUE(rs1);
    enabled = rs1->isEnabled();
  });
  EXPECT_FALSE(enabled);
  EXPECT_EQ(M->CTable().Choices.Save, TSaveKind::Solid);
  Click(M->CBShaping);
  Convert([&](QWidget* dialog) {
    enabled = ChoiceButton(dialog, "Save as HTML with using GIF as chars")->isEnabled();
  });
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(Platform.Errors.empty());
}
