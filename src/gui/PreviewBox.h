// The paint box of a preview: draws a bitmap at its top-left corner, the
// rest in the window's face. For a screen reader it is an image, its size
// in pixels its description. It takes the keyboard focus (the arrows then
// scroll the box it lies in) and shows it with a frame around what is seen.
#pragma once

#include "raster/Bitmap.h"

#include <QWidget>

class TPreviewBox : public QWidget {
  Q_OBJECT
public:
  explicit TPreviewBox(QWidget* Parent = nullptr);

  // Bitmap stays the caller's and must live until the next call (null: none).
  void SetBitmap(const TBitmap* Bitmap);
  const TBitmap* Bitmap() const { return FBitmap; }

protected:
  void paintEvent(QPaintEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void moveEvent(QMoveEvent* Event) override;

private:
  const TBitmap* FBitmap = nullptr;
};
