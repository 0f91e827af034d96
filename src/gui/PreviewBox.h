// The paint box of a preview: draws a bitmap at its top-left corner, the
// rest in the window's face.
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

private:
  const TBitmap* FBitmap = nullptr;
};
