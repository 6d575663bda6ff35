#include "app/controls/drawutil.h"

#include <QPainter>

void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& topLeft,
                const QColor& bottomRight)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    // Top and left edges stop one pixel short of the far corners, which
    // belong to the bottom and right edges.
    painter.fillRect(rect.left(), rect.top(), rect.width() - 1, 1, topLeft);
    painter.fillRect(rect.left(), rect.top(), 1, rect.height() - 1, topLeft);
    painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, bottomRight);
    painter.fillRect(rect.right(), rect.top(), 1, rect.height(), bottomRight);
}

void DrawCheckBox(QPainter& painter, const QRect& box, bool checked, const QColor& face,
                  const QColor& tick)
{
    if (box.width() <= 0 || box.height() <= 0)
        return;
    painter.fillRect(box, face);
    Draw3dRect(painter, box, kCheckBoxFrame, kCheckBoxFrame);
    if (!checked)
        return;
    painter.save();
    painter.setClipRect(box);
    int x = box.left() + 9;
    int y = box.top() + 3;
    for (int stroke = 0; stroke < 7; ++stroke) {
        painter.fillRect(x, y, 1, 3, tick);
        --x;
        y += stroke < 3 ? 1 : -1;
    }
    painter.restore();
}
