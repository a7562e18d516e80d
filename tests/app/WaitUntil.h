// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one wait of the tests and the benchmarks: runs the event loop until a condition holds,
// checked every few milliseconds. The loop sleeps until something arrives (a page's answer, a
// socket, a timer), so a command waiting in it runs at the program's own pace.
//
//   ASSERT_TRUE(waitUntil([&] { return browser.loadState() == PageBrowser::LoadState::Finished; }));
//
// No wait of a test outlasts the test's deadline (set as each test starts, well within CTest's
// time limit), so a hang fails with the test's own diagnostics instead of being killed. A
// limit shorter than that may be given; outside a test (the benchmarks) only that one holds.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace talvesk::test {

// The running test's deadline: forever until a test main sets it.
inline QDeadlineTimer &testDeadline()
{
    static QDeadlineTimer deadline(QDeadlineTimer::Forever);
    return deadline;
}

// True once condition() holds; false when the deadline (or limitMs, if given) came first.
template <typename Condition> bool waitUntil(Condition &&condition, int limitMs = -1)
{
    if (condition())
        return true;
    QDeadlineTimer deadline = testDeadline();
    if (limitMs >= 0)
        deadline = std::min(deadline, QDeadlineTimer(limitMs));
    if (deadline.hasExpired())
        return false;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    check.start(5);
    loop.exec();
    return condition();
}

} // namespace talvesk::test
