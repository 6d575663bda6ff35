// The controls' pictures, compiled into the library and found by the number
// the program knows them by (the bars' state sprites).
#pragma once

#include <QColor>
#include <QPixmap>

// The picture of `id`; a null pixmap when there is none.
QPixmap LoadBitmapResource(int id);

// An opaque colour from a 0x00BBGGRR value.
QColor ColorFromRef(unsigned colorRef);
