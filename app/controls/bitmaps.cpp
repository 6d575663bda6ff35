#include "app/controls/bitmaps.h"

#include <QString>

QPixmap LoadBitmapResource(int id)
{
    return QPixmap(QStringLiteral(":/controls/bitmaps/%1.png").arg(id));
}

QColor ColorFromRef(unsigned colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}
