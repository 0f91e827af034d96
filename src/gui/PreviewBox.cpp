#include "gui/PreviewBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

QAccessibleInterface* PreviewAccessible(const QString& ClassName, QObject* Object) {
  if (ClassName == QLatin1String("TPreviewBox") && Object && Object->isWidgetType())
    return new QAccessibleWidget(static_cast<QWidget*>(Object), QAccessible::Graphic);
  return nullptr;
}

} // namespace

TPreviewBox::TPreviewBox(QWidget* Parent) : QWidget(Parent) {
  static const bool installed = [] {
    QAccessible::installFactory(PreviewAccessible);
    return true;
  }();
  (void)installed;
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void TPreviewBox::SetBitmap(const TBitmap* Bitmap) {
  FBitmap = Bitmap;
  setAccessibleDescription(
      FBitmap && !FBitmap->Empty()
          ? tr("%1 \u00D7 %2 pixels").arg(FBitmap->Width()).arg(FBitmap->Height())
          : QString());
  // Nothing to look at is no stop for Tab.
  setFocusPolicy(FBitmap && !FBitmap->Empty() ? Qt::StrongFocus : Qt::NoFocus);
  update();
}

void TPreviewBox::paintEvent(QPaintEvent* Event) {
  QPainter p(this);
  const QRect exposed = Event->rect();
  if (FBitmap && !FBitmap->Empty()) {
    // The bitmap's rows are laid out as Qt's BGR888: shown without a copy.
    const QImage image(FBitmap->Bits(), FBitmap->Width(), FBitmap->Height(),
                       qsizetype(FBitmap->Stride()), QImage::Format_BGR888);
    const QRect picture = exposed & image.rect();
    if (!picture.isEmpty()) p.drawImage(picture.topLeft(), image, picture);
    const QRegion rest = QRegion(exposed) - QRegion(image.rect());
    for (const QRect& r : rest)
      p.fillRect(r, palette().color(QPalette::Window));
  } else {
    p.fillRect(exposed, palette().color(QPalette::Window));
  }
  if (hasFocus()) {
    // Around the part in view, wherever the box has scrolled to.
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.state |= QStyle::State_KeyboardFocusChange;
    focus.rect = visibleRegion().boundingRect();
    focus.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
}

void TPreviewBox::focusInEvent(QFocusEvent* Event) {
  QWidget::focusInEvent(Event);
  update();
}

void TPreviewBox::focusOutEvent(QFocusEvent* Event) {
  QWidget::focusOutEvent(Event);
  update();
}

void TPreviewBox::moveEvent(QMoveEvent* Event) {
  QWidget::moveEvent(Event);
  if (hasFocus()) update(); // the frame follows the view, not the picture
}
