// Numbered window messages between the program's windows. A message is a
// code with two arguments, posted to a target object (queued, safe from any
// thread) or sent to it (handled at once, user-interface thread only); the
// target sees a WindowMessage event in its event() or customEvent().
#pragma once

#include <QEvent>
#include <QtGlobal>

class QObject;

// The bars' command message: wParam is the button's command code.
constexpr unsigned WM_COOLBAR_COMMAND = 2025;
// Sent to every control after the user picked another language; each
// receiver fetches its texts again through GetLangString.
constexpr unsigned WM_RELOAD_LANGUAGE = 1134;

class WindowMessage : public QEvent {
public:
    WindowMessage(unsigned message, quintptr wParam, qintptr lParam);

    // The event type of every window message, registered once.
    static QEvent::Type EventType();

    unsigned message() const { return message_; }
    quintptr wParam() const { return wParam_; }
    qintptr lParam() const { return lParam_; }

private:
    unsigned message_;
    quintptr wParam_;
    qintptr lParam_;
};

// Queues the message for the target's thread; nothing when `target` is null.
void PostWindowMessage(QObject* target, unsigned message, quintptr wParam, qintptr lParam);

// Delivers the message at once; the target's event() result (false when
// `target` is null).
bool SendWindowMessage(QObject* target, unsigned message, quintptr wParam, qintptr lParam);

// The message carried by an event, or null when it is not a window message.
const WindowMessage* AsWindowMessage(const QEvent* event);
