#include "app/controls/windowmessage.h"

#include <QCoreApplication>
#include <QObject>

WindowMessage::WindowMessage(unsigned message, quintptr wParam, qintptr lParam)
    : QEvent(EventType()), message_(message), wParam_(wParam), lParam_(lParam)
{
}

QEvent::Type WindowMessage::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostWindowMessage(QObject* target, unsigned message, quintptr wParam, qintptr lParam)
{
    if (target)
        QCoreApplication::postEvent(target, new WindowMessage(message, wParam, lParam));
}

bool SendWindowMessage(QObject* target, unsigned message, quintptr wParam, qintptr lParam)
{
    if (!target)
        return false;
    WindowMessage event(message, wParam, lParam);
    return QCoreApplication::sendEvent(target, &event);
}

const WindowMessage* AsWindowMessage(const QEvent* event)
{
    if (!event || event->type() != WindowMessage::EventType())
        return nullptr;
    return static_cast<const WindowMessage*>(event);
}
