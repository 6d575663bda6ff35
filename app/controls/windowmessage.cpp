#include "app/controls/windowmessage.h"

#include <QCoreApplication>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace {

#if defined(__SANITIZE_THREAD__)
char g_queue;
#endif

// A posted message is built on one thread and read on the target's thread;
// Qt's event queue orders the two under a lock that ThreadSanitizer cannot
// see inside the uninstrumented Qt library. These two calls tell it that
// every post happens before the receipts that follow it.
void MessagePosted()
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(&g_queue);
#endif
}

void MessageReceived()
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(&g_queue);
#endif
}

} // namespace

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
    if (!target)
        return;
    auto* event = new WindowMessage(message, wParam, lParam);
    MessagePosted();
    QCoreApplication::postEvent(target, event);
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
    if (!event)
        return nullptr;
    // Before the event's fields are read: it may come from another thread.
    MessageReceived();
    if (event->type() != WindowMessage::EventType())
        return nullptr;
    return static_cast<const WindowMessage*>(event);
}
