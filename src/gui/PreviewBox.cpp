#include "gui/PreviewBox.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

TPreviewBox::TPreviewBox(QWidget* Parent) : QWidget(Parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPreviewBox::SetBitmap(const TBitmap* Bitmap) {
  FBitmap = Bitmap;
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
}
