#include "gui/ColorSwatch.h"

#include "gui/QtPlatform.h"

#include <QKeyEvent>
#include <QPainter>

TColorSwatch::TColorSwatch(TColor Color, QWidget* Parent) : QAbstractButton(Parent), FColor(Color) {
  setFocusPolicy(Qt::StrongFocus);
}

void TColorSwatch::SetColor(TColor Color) {
  FColor = Color;
  update();
}

void TColorSwatch::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(FColor));
  p.setPen(palette().color(QPalette::WindowText));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (hasFocus()) {
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(2, 2, -3, -3));
  }
}

void TColorSwatch::mousePressEvent(QMouseEvent* Event) {
  Event->accept();
  setFocus(Qt::MouseFocusReason);
  emit MouseDown();
}

void TColorSwatch::mouseReleaseEvent(QMouseEvent* Event) {
  Event->accept();
}

void TColorSwatch::keyPressEvent(QKeyEvent* Event) {
  switch (Event->key()) {
  case Qt::Key_Space:
  case Qt::Key_Return:
  case Qt::Key_Enter:
    Event->accept();
    emit MouseDown();
    break;
  default:
    QAbstractButton::keyPressEvent(Event);
  }
}
