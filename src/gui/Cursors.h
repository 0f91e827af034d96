// The program's own mouse cursors, from its resources.
#pragma once

#include <QCursor>

// "Plus_Minus": arrows up and down with a plus and a minus, over the strip
// that drags a spin edit's value. Loaded once, on first use (needs the
// QApplication); freed when the application goes.
const QCursor& PlusMinusCursor();
