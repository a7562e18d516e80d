#pragma once
// An event loop for download tests: every yield runs the Qt events that are due, so network
// replies and the local server progress, waiting at most a millisecond for new ones.
//
//   QtYieldLoop loop;
//   loop.closeWhen = [&] { return somethingHappened(); }; // the program "closes" from then on
//   ... run the command ...
//   EXPECT_FALSE(loop.timedOut());
//
// A run that outlasts the bound (20 s) is treated as a closing program and flagged.

#include "platform/EventLoop.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace talvesk::test {

class QtYieldLoop final : public EventLoop
{
public:
    std::function<bool()> closeWhen;

    bool yield() override
    {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
        if (m_deadline.hasExpired()) {
            m_timedOut = true;
            return false;
        }
        return !(closeWhen && closeWhen());
    }
    // Never sleeps for good: the bound must still be checked when nothing arrives.
    bool waitForEvents() override { return yield(); }
    bool runFor(int milliseconds) override
    {
        const QDeadlineTimer end(milliseconds);
        while (!end.hasExpired()) {
            if (!yield())
                return false;
        }
        return true;
    }

    bool timedOut() const { return m_timedOut; }

private:
    QDeadlineTimer m_deadline{20000};
    bool m_timedOut = false;
};

} // namespace talvesk::test
