#include "app/controls/coolbarbase.h"

#include "app/controls/bitmaps.h"
#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

// The text colour of captions over the bars (COLORREF 0x0099EE).
constexpr unsigned kCaptionColor = 0x0099EE;

} // namespace

CoolBarBase::CoolBarBase(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void CoolBarBase::SetTarget(QObject* target, unsigned message)
{
    target_ = target;
    message_ = message;
}

void CoolBarBase::SetCaption(const QString& text, int x, int y)
{
    caption_ = text;
    captionPos_ = QPoint(x, y);
    update();
}

void CoolBarBase::InitToolTips()
{
    toolTipTexts_.clear();
    for (int i = 0; i < ButtonCount(); ++i) {
        const int id = ButtonToolTipId(i);
        toolTipTexts_.push_back(id ? GetLangString(id) : QString());
    }
    toolTips_ = true;
}

int CoolBarBase::HitTest(const QPoint& pos, bool enabledOnly) const
{
    for (int i = 0; i < ButtonCount(); ++i) {
        if (enabledOnly && !ButtonEnabled(i))
            continue;
        if (ButtonArea(i).contains(pos))
            return i;
    }
    return -1;
}

void CoolBarBase::PostCommand(int index)
{
    if (!target_ || index < 0 || !ButtonEnabled(index))
        return;
    update();
    PostWindowMessage(target_, message_, static_cast<quintptr>(ButtonCode(index)), 0);
}

void CoolBarBase::DrawCaption(QPainter& painter) const
{
    if (caption_.isEmpty())
        return;
    painter.setFont(font());
    painter.setPen(ColorFromRef(kCaptionColor));
    painter.drawText(QRect(captionPos_, size()), Qt::AlignLeft | Qt::AlignTop, caption_);
}

void CoolBarBase::mouseMoveEvent(QMouseEvent* event)
{
    if (captured_)
        return;
    const int hit = HitTest(event->position().toPoint(), true);
    if (hit != hover_) {
        hover_ = hit;
        update();
    }
}

void CoolBarBase::leaveEvent(QEvent* event)
{
    if (!captured_ && hover_ != -1) {
        hover_ = -1;
        update();
    }
    QWidget::leaveEvent(event);
}

bool CoolBarBase::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int hit = toolTips_ ? HitTest(help->pos(), false) : -1;
        const size_t index = static_cast<size_t>(hit);
        if (hit < 0 || index >= toolTipTexts_.size() || toolTipTexts_[index].isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(help->globalPos(), toolTipTexts_[index], this, ButtonArea(hit));
        return true;
    }
    return QWidget::event(event);
}
