// A colour swatch: a framed box filled with its colour that reports a mouse
// press of any button, and Space or Enter when it has the keyboard focus.
#pragma once

#include "raster/Bitmap.h"

#include <QAbstractButton>

class TColorSwatch : public QAbstractButton {
  Q_OBJECT
public:
  explicit TColorSwatch(TColor Color, QWidget* Parent = nullptr);

  TColor Color() const { return FColor; }
  void SetColor(TColor Color);

  QSize sizeHint() const override { return {40, 21}; }

signals:
  void MouseDown();

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

private:
  TColor FColor;
};
