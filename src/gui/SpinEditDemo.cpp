// A small window with the three kinds of spin edit the main window uses: an
// integer, a value with decimals, and one pinned to a single value (disabled).
// With --hold-up N the first edit's up arrow is pressed after N ms and held.
#include "gui/SpinEditWidget.h"

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Spin edits"));
  auto* form = new QFormLayout(&window);

  auto* size = new TmSpinEdit;
  size->SetMaxValue(1000);
  size->SetMinValue(1);
  size->SetValue(30);
  auto* points = new TmSpinEdit;
  points->SetTypeValue(tTypeValue::ttDouble);
  points->SetDecimal(1);
  points->SetIncrement(0.5);
  points->SetValue(22.5);
  auto* pinned = new TmSpinEdit;
  pinned->SetMinValue(300);
  pinned->SetMaxValue(300);
  for (TmSpinEdit* edit : {size, points, pinned})
    edit->setFixedWidth(90);
  form->addRow(QStringLiteral("&Size (px):"), size);
  form->addRow(QStringLiteral("Size (&pt):"), points);
  form->addRow(QStringLiteral("&Width:"), pinned);
  window.resize(220, 110);
  window.show();

  const QStringList args = app.arguments();
  const qsizetype hold = args.indexOf(QStringLiteral("--hold-up"));
  if (hold >= 0 && hold + 1 < args.size()) {
    QTimer::singleShot(args[hold + 1].toInt(), [size] {
      QWidget* arrow = size->SpinButton()->UpArrow();
      const QPointF at(arrow->width() / 2.0, arrow->height() / 2.0);
      QMouseEvent press(QEvent::MouseButtonPress, at, arrow->mapToGlobal(at), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(arrow, &press);
    });
  }
  return app.exec();
}
