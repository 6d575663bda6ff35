// A window that records the job messages posted to it, for the route tests.
#pragma once

#include "app/controls/windowmessage.h"

#include <QCoreApplication>
#include <QObject>

#include <vector>

namespace apptest {

struct Posted {
    unsigned message;
    int index;
    int value;
};

class JobRecorder : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (const WindowMessage* m = AsWindowMessage(e)) {
            posted.push_back({m->message(), static_cast<int>(m->wParam()), static_cast<int>(m->lParam())});
            return true;
        }
        return QObject::event(e);
    }
    // Delivers what was posted so far.
    void Drain() { QCoreApplication::sendPostedEvents(this, WindowMessage::EventType()); }
    // The last state posted for an item, -1 when none.
    int LastState(int index, unsigned stateMessage = 1227) const
    {
        int state = -1;
        for (const Posted& p : posted)
            if (p.message == stateMessage && p.index == index)
                state = p.value;
        return state;
    }
    std::vector<Posted> posted;
};

} // namespace apptest
