// The export's desktop platform: what its dialogs and boxes show the user,
// looked at while they are open and then answered as a user would.
#include "gui/QtPlatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Runs Answer on the next modal window that opens.
void OnNextModal(std::function<void(QWidget*)> Answer) {
  auto answer = std::make_shared<std::function<void(QWidget*)>>(std::move(Answer));
  auto look = std::make_shared<std::function<void()>>();
  *look = [answer, weak = std::weak_ptr(look)] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      (*answer)(modal);
      return;
    }
    if (auto again = weak.lock()) QTimer::singleShot(5, [again] { (*again)(); });
  };
  QTimer::singleShot(0, [look] { (*look)(); });
}

TEST(QtPlatformTest, FileFiltersShowTheirPatterns) {
  struct TCase {
    const char* Filter;
    const char* Qt;
  } cases[] = {
      {"HTML file (*.htm)|*.htm|HTML file (*.html)|*.html",
       "HTML file (*.htm);;HTML file (*.html)"},
      {"GIF|*.gif", "GIF (*.gif)"},
      {"", ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(QtFileFilter(c.Filter), QString::fromLatin1(c.Qt)) << c.Filter;
}

TEST(QtPlatformTest, ColoursKeepTheirChannels) {
  for (TColor c :
       {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 128, 0), RGB(1, 2, 3), RGB(255, 255, 255)}) {
    EXPECT_EQ(FromQColor(ToQColor(c)), c);
  }
  EXPECT_EQ(ToQColor(RGB(255, 0, 0)), QColor(Qt::red));
}

QStringList ButtonTexts(QMessageBox* Box) {
  QStringList texts;
  for (QAbstractButton* b : Box->buttons())
    texts << b->text();
  texts.sort();
  return texts;
}

TEST(QtPlatformTest, MessageBoxesHaveTheirCaptionsIconsAndButtons) {
  TQtPlatform platform;
  struct TSeen {
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QStringList Buttons;
  };
  const auto look = [](TSeen& Seen, const QString& Press) {
    OnNextModal([&Seen, Press](QWidget* W) {
      auto* box = qobject_cast<QMessageBox*>(W);
      ASSERT_TRUE(box);
      Seen = {box->windowTitle(), box->text(), box->icon(), ButtonTexts(box)};
      for (QAbstractButton* b : box->buttons())
        if (b->text() == Press) b->click();
    });
  };

  TSeen seen;
  look(seen, "OK");
  platform.ErrorBox("File name [x] is not correct!");
  EXPECT_EQ(seen.Title, "Error");
  EXPECT_EQ(seen.Text, "File name [x] is not correct!");
  EXPECT_EQ(seen.Icon, QMessageBox::Critical);
  EXPECT_EQ(seen.Buttons, QStringList{"OK"});

  look(seen, "Cancel");
  platform.WarningBox("Not find mask blank");
  EXPECT_EQ(seen.Title, "Warning");
  EXPECT_EQ(seen.Icon, QMessageBox::Warning);
  EXPECT_EQ(seen.Buttons, QStringList{"Cancel"});

  for (const char* press : {"&Yes", "Cancel"}) {
    look(seen, press);
    const bool yes = platform.ConfirmBox("Open result file?");
    EXPECT_EQ(seen.Title, "Confirm");
    EXPECT_EQ(seen.Icon, QMessageBox::Question);
    EXPECT_EQ(seen.Buttons, QStringList({"&Yes", "Cancel"}));
    EXPECT_EQ(yes, QString(press) == "&Yes");
  }
}

TEST(QtPlatformTest, SaveDialogAsksWithTheFiltersAndSuffix) {
  TQtPlatform platform;
  QStringList filters;
  QString suffix;
  bool prompts = false;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  OnNextModal([&](QWidget* W) {
    auto* dialog = qobject_cast<QFileDialog*>(W);
    ASSERT_TRUE(dialog);
    filters = dialog->nameFilters();
    suffix = dialog->defaultSuffix();
    prompts = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    mode = dialog->acceptMode();
    dialog->reject();
  });
  const std::optional<std::string> chosen =
      platform.SaveFileDialog({"HTML file (*.htm)|*.htm|HTML file (*.html)|*.html", "html", true});
  EXPECT_FALSE(chosen) << "cancelled";
  EXPECT_EQ(filters, QStringList({"HTML file (*.htm)", "HTML file (*.html)"}));
  EXPECT_EQ(suffix, "html");
  EXPECT_TRUE(prompts);
  EXPECT_EQ(mode, QFileDialog::AcceptSave);
}

TEST(QtPlatformTest, BusyCursorNestsAndGoesBack) {
  TQtPlatform platform;
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  platform.SetBusy(true);
  platform.SetBusy(true);
  ASSERT_TRUE(QApplication::overrideCursor());
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  platform.SetBusy(false);
  EXPECT_TRUE(QApplication::overrideCursor()) << "the outer caller is still busy";
  platform.SetBusy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  platform.SetBusy(false); // one too many changes nothing
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
