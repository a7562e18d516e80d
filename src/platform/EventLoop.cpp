#include "platform/EventLoop.h"

#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace talvesk {

bool EventLoop::waitUntil(const std::function<bool()> &done)
{
    while (!done()) {
        if (!waitForEvents())
            return false;
    }
    return true;
}

bool EventLoop::runFor(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    // An event at the deadline, so that the last wait ends on time even when nothing else
    // happens; armed again after every event, as a timer may fire a little early.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        if (!waitForEvents())
            return false;
    }
    return true;
}

} // namespace talvesk
