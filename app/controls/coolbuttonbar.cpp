#include "app/controls/coolbuttonbar.h"

#include "app/controls/bitmaps.h"
#include "app/controls/langstring.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

namespace {

enum StateImage { kNormal, kHover, kPressed, kDisabled };

QRect ButtonRect(const COOLBARBUTTON& b)
{
    return QRect(b.x, b.y, b.width, b.height);
}

} // namespace

CCoolButtonBar::CCoolButtonBar(QWidget* parent) : CoolBarBase(parent)
{
}

int CCoolButtonBar::ButtonCount() const
{
    return static_cast<int>(buttons_.size());
}

QRect CCoolButtonBar::ButtonArea(int index) const
{
    return ButtonRect(buttons_[static_cast<size_t>(index)]);
}

bool CCoolButtonBar::ButtonEnabled(int index) const
{
    return buttons_[static_cast<size_t>(index)].state == 1;
}

int CCoolButtonBar::ButtonCode(int index) const
{
    return buttons_[static_cast<size_t>(index)].code;
}

int CCoolButtonBar::ButtonToolTipId(int index) const
{
    return buttons_[static_cast<size_t>(index)].tooltipId;
}

void CCoolButtonBar::SetButtons(const COOLBARSTATES& states, std::span<const COOLBARBUTTON> buttons,
                                int bitmapId)
{
    const QPixmap picture = LoadBitmapResource(bitmapId);
    const QRect rects[4] = {states.normal, states.hover, states.pressed, states.disabled};
    for (int i = 0; i < 4; ++i)
        images_[i] = picture.isNull() ? QPixmap() : picture.copy(rects[i]);
    buttons_.assign(buttons.begin(), buttons.end());
    hover_ = pressed_ = -1;
    updateGeometry();
    update();
}

void CCoolButtonBar::DisableButton(int code)
{
    for (COOLBARBUTTON& b : buttons_) {
        if (b.code == code) {
            b.state = 0;
            update();
            return;
        }
    }
}

void CCoolButtonBar::EnableAllButtons()
{
    for (COOLBARBUTTON& b : buttons_)
        b.state = 1;
}

QSize CCoolButtonBar::sizeHint() const
{
    return images_[kNormal].isNull() ? QSize(0, 0) : images_[kNormal].size();
}

void CCoolButtonBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawBar(painter);
}

void CCoolButtonBar::DrawBar(QPainter& painter)
{
    const QPixmap& normal = images_[kNormal];
    const int w = normal.width();
    const int h = normal.height();
    const int right = width();
    if (!normal.isNull()) {
        if (w < right && w >= 10) {
            // Wider than the picture: its middle column W-6 is repeated and
            // its last columns close the bar at the right edge.
            painter.drawPixmap(0, 0, normal, 0, 0, w - 6, h);
            painter.drawPixmap(QRect(w - 6, 0, right - w, h), normal, QRect(w - 6, 0, 1, h));
            painter.drawPixmap(right - 6, 0, normal, w - 10, 0, 10, h);
        } else {
            painter.drawPixmap(0, 0, normal);
        }
    }

    const auto copyFrom = [&](int image, const COOLBARBUTTON& b) {
        const QRect r = ButtonRect(b);
        if (!images_[image].isNull())
            painter.drawPixmap(r.topLeft(), images_[image], r);
    };
    if (pressed_ >= 0)
        copyFrom(kPressed, buttons_[static_cast<size_t>(pressed_)]);
    else if (hover_ >= 0)
        copyFrom(kHover, buttons_[static_cast<size_t>(hover_)]);
    for (const COOLBARBUTTON& b : buttons_)
        if (b.state == 0)
            copyFrom(kDisabled, b);

    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setStyleHint(QFont::SansSerif);
    labelFont.setPixelSize(13);
    painter.setFont(labelFont);
    painter.setPen(Qt::black);
    for (const COOLBARBUTTON& b : buttons_) {
        if (b.labelId == 0)
            continue;
        painter.drawText(QRect(b.x + 5, b.y + 2, qMax(0, b.width - 5), qMax(0, b.height - 2)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         GetLangString(b.labelId));
    }
    DrawCaption(painter);
}

void CCoolButtonBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int hit = HitTest(event->position().toPoint(), true);
    if (hit != pressed_) {
        pressed_ = hit;
        update();
    }
    captured_ = true;
}

void CCoolButtonBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // Whichever button the press began on, the command is the one of the
    // button under the mouse now.
    const int hit = HitTest(event->position().toPoint(), false);
    if (hit >= 0) {
        PostCommand(hit);
        if (pressed_ != -1) {
            pressed_ = -1;
            update();
        }
    } else {
        hover_ = pressed_ = -1;
        update();
    }
    captured_ = false;
}

void RefreshBarHover(QWidget* bar)
{
    if (!bar)
        return;
    const QPoint global = QCursor::pos();
    QMouseEvent move(QEvent::MouseMove, QPointF(bar->mapFromGlobal(global)), QPointF(global),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &move);
}
