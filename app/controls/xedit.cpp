#include "app/controls/xedit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

CXEdit::CXEdit(QWidget* list, const QString& text, QWidget* parent)
    : QLineEdit(parent), list_(list), text_(text), colors_(SysColors::FromPalette(palette()))
{
    setFrame(false);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    setFont(font);
}

void CXEdit::Start()
{
    setText(text_);
    selectAll();
    show();
    setFocus(Qt::OtherFocusReason);
}

void CXEdit::SendToList(End end)
{
    if (notified_)
        return;
    notified_ = true;
    if (!list_)
        return;
    if (end == End::Keep)
        emit WM_XEDIT_KILL_FOCUS();
    else
        emit WM_XEDIT_VK_ESCAPE();
}

void CXEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SendToList(End::Keep);
        event->accept();
        return;
    case Qt::Key_Escape:
        SendToList(End::Cancel);
        event->accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void CXEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The edit's own context menu takes the focus for a moment; that is not
    // the end of the edit.
    if (event->reason() != Qt::PopupFocusReason)
        SendToList(End::Keep);
}

void CXEdit::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.fillRect(rect(), colors_.window);
    }
    QLineEdit::paintEvent(event);
    // The frame's top, left and right edges lie outside the box; its bottom
    // edge is the line second from the bottom.
    QPainter painter(this);
    painter.fillRect(0, height() - 2, width(), 1, colors_.inactiveCaption);
}
