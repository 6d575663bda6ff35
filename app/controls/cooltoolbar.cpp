#include "app/controls/cooltoolbar.h"

#include "app/controls/bitmaps.h"
#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

enum StateImage { kNormal, kHover, kPressed, kDisabled };

constexpr int kGapCode = -2;
constexpr int kPictureCode = -1;
constexpr int kConvertCode = 301;
// Filled where a picture-only button has no picture.
const QColor kFiller(0xFA, 0xFA, 0xFA);

} // namespace

CCoolToolBar::CCoolToolBar(QWidget* parent)
    : CoolBarBase(parent),
      normalText_(ColorFromRef(0x5F1600)),
      disabledText_(ColorFromRef(0x53001B)),
      hoverText_(ColorFromRef(0x663300)),
      hoverHalo_(ColorFromRef(0xFFFFFF))
{
}

int CCoolToolBar::ButtonCount() const
{
    return static_cast<int>(slots_.size());
}

QRect CCoolToolBar::ButtonArea(int index) const
{
    return slots_[static_cast<size_t>(index)].rect;
}

bool CCoolToolBar::ButtonEnabled(int index) const
{
    return slots_[static_cast<size_t>(index)].state == 1;
}

int CCoolToolBar::ButtonCode(int index) const
{
    return slots_[static_cast<size_t>(index)].code;
}

int CCoolToolBar::ButtonToolTipId(int index) const
{
    return slots_[static_cast<size_t>(index)].tooltipId;
}

int CCoolToolBar::SetButtons(std::span<const COOLTOOLBUTTON> buttons)
{
    LoadButtonTexts(buttons);
    for (size_t i = 0; i < defs_.size(); ++i) {
        const COOLTOOLBUTTON& def = defs_[i];
        Slot& slot = slots_[i];
        const QPixmap picture = def.bitmapId > 0 ? LoadBitmapResource(def.bitmapId) : QPixmap();
        const QPoint at[4] = {{def.normalX, def.normalY}, {def.hoverX, def.hoverY},
                              {def.pressedX, def.pressedY}, {def.disabledX, def.disabledY}};
        for (int k = 0; k < 4; ++k)
            slot.images[k] = picture.isNull() || def.imageWidth <= 0 || def.imageHeight <= 0
                ? QPixmap()
                : picture.copy(QRect(at[k], QSize(def.imageWidth, def.imageHeight)));
        slot.leftCap = def.leftCap;
    }
    updateGeometry();
    update();
    return 1;
}

void CCoolToolBar::LoadButtonTexts(std::span<const COOLTOOLBUTTON> buttons)
{
    defs_.assign(buttons.begin(), buttons.end());
    slots_.assign(defs_.size(), Slot());
    for (size_t i = 0; i < defs_.size(); ++i) {
        const COOLTOOLBUTTON& def = defs_[i];
        Slot& slot = slots_[i];
        slot.state = def.state;
        slot.code = def.code;
        slot.tooltipId = def.tooltipId;
        slot.text = def.textId > 0 ? GetLangString(def.textId) : QString();
    }
    hover_ = pressed_ = pressedDrawn_ = -1;
}

void CCoolToolBar::EnableButton(int code)
{
    for (Slot& slot : slots_) {
        if (slot.code == code) {
            slot.state = 1;
            update();
            return;
        }
    }
}

void CCoolToolBar::SetButtonState(int code, int state)
{
    for (Slot& slot : slots_) {
        if (slot.code == code) {
            slot.state = state;
            update();
            return;
        }
    }
}

void CCoolToolBar::SetAllButtonStates(int state)
{
    for (Slot& slot : slots_)
        if (slot.code >= 0)
            slot.state = state;
    update();
}

int CCoolToolBar::ButtonState(int code) const
{
    for (const Slot& slot : slots_)
        if (slot.code == code)
            return slot.state;
    return -1;
}

int CCoolToolBar::IsConvertEnabled() const
{
    for (const Slot& slot : slots_)
        if (slot.code == kConvertCode)
            return slot.state;
    return 0;
}

void CCoolToolBar::SetFontSize(double pixels)
{
    fontSize_ = pixels;
    updateGeometry();
    update();
}

void CCoolToolBar::SetFontFace(const QString& face)
{
    fontFace_ = face;
    updateGeometry();
    update();
}

QString CCoolToolBar::GetFontFace() const
{
    return fontFace_.isEmpty() ? QStringLiteral("Tahoma") : fontFace_;
}

double CCoolToolBar::GetFontSize() const
{
    return scale_ * (fontSize_ > 0 ? fontSize_ : 14.0);
}

QFont CCoolToolBar::TextFont() const
{
    QFont font(GetFontFace());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(GetFontSize()))));
    return font;
}

QSize CCoolToolBar::TextSize(const QString& text) const
{
    if (text.isEmpty())
        return {0, 0};
    const QFontMetricsF metrics(TextFont());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text) + 1)),
            static_cast<int>(std::ceil(metrics.height()))};
}

int CCoolToolBar::ButtonWidth(const COOLTOOLBUTTON& def, const Slot& slot) const
{
    if (def.code == kGapCode)
        return 0;
    if (def.code == kPictureCode && slot.images[kNormal].isNull())
        return def.leftCap;
    if (def.code == kPictureCode || slot.text.isEmpty())
        return def.imageWidth;
    return def.imageWidth + TextSize(slot.text).width();
}

int CCoolToolBar::GetTotalWidth() const
{
    int total = 0;
    for (size_t i = 0; i < defs_.size(); ++i)
        total += defs_[i].gap + ButtonWidth(defs_[i], slots_[i]);
    return total;
}

QSize CCoolToolBar::sizeHint() const
{
    int height = 0;
    for (const COOLTOOLBUTTON& def : defs_)
        height = std::max(height, def.imageHeight);
    return {GetTotalWidth(), height};
}

QRect CCoolToolBar::ButtonRect(int code) const
{
    for (const Slot& slot : slots_)
        if (slot.code == code)
            return slot.rect;
    return {};
}

void CCoolToolBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawBar(painter);
}

void CCoolToolBar::DrawBar(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = TextFont();
    const QFontMetricsF metrics(font);
    int x = 0;
    for (size_t i = 0; i < defs_.size(); ++i) {
        const COOLTOOLBUTTON& def = defs_[i];
        Slot& slot = slots_[i];
        const int index = static_cast<int>(i);
        if (def.code == kGapCode) {
            x += def.gap;
            continue;
        }
        const QPixmap& image = index == pressed_ ? slot.images[kPressed]
                             : index == hover_   ? slot.images[kHover]
                             : slot.state == 1   ? slot.images[kNormal]
                                                 : slot.images[kDisabled];
        const bool withText = def.code != kPictureCode && !slot.text.isEmpty();
        const int width = ButtonWidth(def, slot);
        const int h = def.imageHeight;
        if (withText && !image.isNull()) {
            // Caps copied as they are, the middle stretched between them.
            const int left = std::clamp(def.leftCap, 0, def.imageWidth);
            const int right = std::clamp(def.rightCap, 0, def.imageWidth - left);
            const int middle = def.imageWidth - left - right;
            painter.drawPixmap(x, 0, image, 0, 0, left, h);
            if (middle > 0)
                painter.drawPixmap(QRect(x + left, 0, width - left - right, h), image,
                                   QRect(left, 0, middle, h));
            painter.drawPixmap(x + width - right, 0, image, def.imageWidth - right, 0, right, h);
        } else if (def.code == kPictureCode && image.isNull()) {
            painter.fillRect(QRect(x, 0, def.leftCap, h), kFiller);
        } else if (!image.isNull()) {
            painter.drawPixmap(x, 0, image);
        }
        slot.rect = QRect(x, 0, width, h);

        if (withText) {
            const QSize textSize = TextSize(slot.text);
            double top = textSize.height() > 0 ? (h - textSize.height()) / 2.0 + textOffsetY_
                                               : h / 2.0 - 6;
            double left = x + def.leftCap;
            if (index == pressedDrawn_) {
                left += 1;
                top += 1;
            }
            const QPointF baseline(left, top + metrics.ascent());
            if (index == hover_) {
                // A halo one pixel down and right, the text over it.
                QPainterPath path;
                path.addText(baseline, font, slot.text);
                painter.fillPath(path.translated(1, 1), hoverHalo_);
                painter.fillPath(path, hoverText_);
            } else {
                QColor color = normalText_;
                if (slot.state != 1) {
                    color = disabledText_;
                    color.setAlpha(150);
                }
                painter.setFont(font);
                painter.setPen(color);
                painter.drawText(baseline, slot.text);
            }
        }
        x += width + def.gap;
    }
    if (!toolTips_)
        InitToolTips();
    DrawCaption(painter);
}

void CCoolToolBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int hit = HitTest(event->position().toPoint(), true);
    const bool changed = hit != pressed_;
    pressed_ = pressedDrawn_ = hit;
    if (changed)
        update();
    captured_ = true;
}

void CCoolToolBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressedDrawn_ = -1;
    const bool hadPressed = pressed_ != -1;
    const int hit = HitTest(event->position().toPoint(), false);
    if (hit >= 0)
        PostCommand(hit);
    else
        hover_ = -1;
    pressed_ = -1;
    if (hadPressed)
        update();
    captured_ = false;
}

bool CCoolToolBar::event(QEvent* event)
{
    if (const WindowMessage* message = AsWindowMessage(event)) {
        if (message->message() == WM_RELOAD_LANGUAGE) {
            InitToolTips();
            update();
            return true;
        }
    }
    return CoolBarBase::event(event);
}
