#include "gui/Cursors.h"

#include <QCoreApplication>
#include <QPixmap>

namespace {

QCursor* plusMinus = nullptr;

void FreeCursors() {
  delete plusMinus;
  plusMinus = nullptr;
}

} // namespace

// The resources live in a static library: registered by hand, outside any namespace.
static void LoadResources() {
  Q_INIT_RESOURCE(glyptika);
}

const QCursor& PlusMinusCursor() {
  if (!plusMinus) {
    LoadResources();
    const QPixmap shape(QStringLiteral(":/cursors/Plus_Minus"), "XPM");
    plusMinus = new QCursor(shape, 5, 11);
    qAddPostRoutine(FreeCursors);
  }
  return *plusMinus;
}
