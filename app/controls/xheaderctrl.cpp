#include "app/controls/xheaderctrl.h"

#include "app/controls/drawutil.h"
#include "app/controls/xlistmodel.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

CXHeaderCtrl::CXHeaderCtrl(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), colors_(SysColors::FromPalette(palette()))
{
    setSectionsClickable(true);
    setHighlightSections(false);
}

void CXHeaderCtrl::SetImageList(std::vector<QPixmap> images)
{
    images_ = std::move(images);
    viewport()->update();
}

void CXHeaderCtrl::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), colors_.btnFace);
    painter.setFont(font());

    const int height = viewport()->height();
    int sum = 0;
    int lastVisual = count() - 1;
    while (lastVisual >= 0 && isSectionHidden(logicalIndex(lastVisual)))
        --lastVisual;
    for (int visual = 0; visual <= lastVisual; ++visual) {
        const int section = logicalIndex(visual);
        if (isSectionHidden(section))
            continue;
        const int size = sectionSize(section);
        const int left = sectionViewportPosition(section);
        const QRect item(left, 0, size, height);
        const QRect inner = item.adjusted(itemMargin_, 0, -itemMargin_, 0);
        if (inner.width() > 0) {
            painter.save();
            painter.setClipRect(item);
            DrawItem(painter, inner, section);
            painter.restore();
        }
        if (dividers_ && visual != lastVisual && height > 4) {
            const int right = left + size;   // first pixel after the item
            painter.fillRect(right - 1, 2, 1, height - 4, colors_.btnShadow);
            painter.fillRect(right, 2, 1, height - 4, colors_.btnHighlight);
        }
        sum += size;
    }
    if (sum > 0)
        Draw3dRect(painter, QRect(-offset(), 0, sum, height), colors_.btnHighlight, colors_.btnShadow);
}

void CXHeaderCtrl::DrawItem(QPainter& painter, const QRect& rect, int section)
{
    QRect space = rect;
    const int imageWidth = DrawImage(painter, space, section);
    if (imageWidth > 0)
        space.setLeft(space.left() + imageWidth + itemMargin_);
    const int bitmapWidth = DrawBitmap(painter, space, section);
    if (bitmapWidth > 0)
        space.setRight(space.right() - bitmapWidth - itemMargin_);
    DrawText(painter, space, section);
}

int CXHeaderCtrl::DrawImage(QPainter& painter, const QRect& rect, int section)
{
    const int image = model() ? model()->headerData(section, Qt::Horizontal,
                                                    XListModel::HeaderImageRole).toInt()
                              : 0;
    if (image == 0 || rect.width() <= 0)
        return 0;
    if (!images_.empty()) {
        if (image < 0 || static_cast<size_t>(image) >= images_.size())
            return 0;
        const QPixmap& pixmap = images_[static_cast<size_t>(image)];
        const int top = (rect.top() + rect.bottom() + 1) / 2 - (pixmap.height() + 1) / 2;
        const int width = std::min(pixmap.width(), rect.width());
        painter.drawPixmap(rect.left(), top, pixmap, 0, 0, width, pixmap.height());
        return pixmap.width();
    }
    // Without pictures the image index is the state of a check box.
    constexpr int kBox = 13;
    const QRect box(rect.left(), rect.top() + (rect.height() - kBox) / 2, kBox, kBox);
    DrawCheckBox(painter, box, image == 2, colors_.window, kCheckBoxTick);
    return kBox;
}

int CXHeaderCtrl::DrawBitmap(QPainter& painter, const QRect& rect, int section)
{
    if (!model())
        return 0;
    const QPixmap bitmap = model()->headerData(section, Qt::Horizontal,
                                               XListModel::HeaderBitmapRole).value<QPixmap>();
    if (bitmap.isNull() || rect.width() < bitmap.width())
        return 0;
    const int top = rect.top() + (rect.height() - bitmap.height()) / 2;
    painter.drawPixmap(rect.right() + 1 - bitmap.width(), top, bitmap);
    return bitmap.width();
}

int CXHeaderCtrl::DrawText(QPainter& painter, const QRect& rect, int section)
{
    if (!model() || rect.width() <= 0)
        return 0;
    const QString text = model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
    if (text.isEmpty())
        return 0;
    const Qt::Alignment alignment =
        model()->headerData(section, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
        & Qt::AlignHorizontal_Mask;
    const QFontMetrics metrics(painter.font());
    painter.setPen(colors_.btnText);
    painter.drawText(rect, int(alignment | Qt::AlignVCenter | Qt::TextSingleLine),
                     metrics.elidedText(text, Qt::ElideRight, rect.width()));
    return std::min(metrics.horizontalAdvance(text), rect.width());
}

void CXHeaderCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click is a click like the first.
    QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                      event->globalPosition(), event->button(), event->buttons(),
                      event->modifiers());
    mousePressEvent(&press);
    event->setAccepted(press.isAccepted());
}

void CXHeaderCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        colors_ = SysColors::FromPalette(palette());
    QHeaderView::changeEvent(event);
}
