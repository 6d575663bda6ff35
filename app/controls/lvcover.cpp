#include "app/controls/lvcover.h"

#include "app/controls/drawutil.h"
#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"

#include <QDir>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kAddFilesCode = 201;
// The hints' string ids and the left edges of their boxes; every box starts
// at y 265 and is 240 x 150.
constexpr int kHintIds[3] = {171, 172, 173};
constexpr int kHintLeft[3] = {25, 335, 620};

} // namespace

CLvCover::CLvCover(const QString& programFolder, QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    picture_.load(QDir(programFolder).filePath(QStringLiteral("lv_cover.png")));
    LoadHints();
}

void CLvCover::SetTarget(QObject* target, unsigned message)
{
    target_ = target;
    message_ = message;
}

void CLvCover::LoadHints()
{
    for (int i = 0; i < 3; ++i)
        hints_[i] = GetLangString(kHintIds[i]);
}

void CLvCover::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xE9, 0xE9, 0xE9));
    if (!picture_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), picture_);
    }
    const QColor frame(0xB8, 0xB8, 0xB8);
    Draw3dRect(painter, rect(), frame, frame);

    QFont font(QStringLiteral("Microsoft Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(10);
    painter.setFont(font);
    painter.setPen(QColor(0x61, 0x61, 0x61));
    for (int i = 0; i < 3; ++i)
        painter.drawText(QRect(kHintLeft[i], 265, 240, 150),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, hints_[i]);
}

void CLvCover::mouseMoveEvent(QMouseEvent* event)
{
    setCursor(HotRect().contains(event->position().toPoint()) ? Qt::PointingHandCursor
                                                              : Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}

void CLvCover::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && HotRect().contains(event->position().toPoint())
        && target_ && message_)
        SendWindowMessage(target_, message_, kAddFilesCode, 0);
    QWidget::mousePressEvent(event);
}

bool CLvCover::event(QEvent* event)
{
    if (const WindowMessage* message = AsWindowMessage(event)) {
        if (message->message() == WM_RELOAD_LANGUAGE) {
            LoadHints();
            update();
            return true;
        }
    }
    return QWidget::event(event);
}
