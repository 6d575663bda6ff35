// Small drawing pieces shared by the self-drawn controls. Rectangles are
// Qt's: right() and bottom() are the last pixels inside.
#pragma once

#include <QColor>
#include <QRect>

class QPainter;

// A one-pixel frame: top and left edges in `topLeft`, bottom and right edges
// in `bottomRight`.
void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& topLeft,
                const QColor& bottomRight);

// The frame colour of the check boxes of list cells and header items.
inline const QColor kCheckBoxFrame{51, 102, 153};
// The colour of the tick of an enabled check box.
inline const QColor kCheckBoxTick{51, 153, 51};

// A check box: `box` filled with `face` and framed in kCheckBoxFrame; when
// checked, a tick of seven vertical strokes three pixels long in `tick`, the
// first 9 pixels right of the box's left edge and 3 below its top, the next
// three each one pixel further left and one lower, the last three each one
// further left and one higher.
void DrawCheckBox(QPainter& painter, const QRect& box, bool checked, const QColor& face,
                  const QColor& tick);
