#include "app/cli/CooperativeTasks.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

using talvesk::CooperativeTasks;
using talvesk::EventLoop;

namespace {

// Waits in the task's loop until the flag is set.
void waitFor(EventLoop &loop, const bool &flag)
{
    while (!flag)
        loop.waitForEvents();
}

} // namespace

// A task waiting long must not hold one whose wait ends sooner: each finishes when its own
// event arrives, whatever order they started in.
TEST(CooperativeTasks, WaitsOfOneTaskDoNotHoldTheOthers)
{
    QStringList finished;
    bool slowArrived = false;
    bool fastArrived = false;
    QTimer::singleShot(400, [&] { slowArrived = true; });
    QTimer::singleShot(20, [&] { fastArrived = true; });

    CooperativeTasks tasks;
    tasks.add([&](EventLoop &loop) {
        // Woken only once its condition holds.
        EXPECT_TRUE(loop.waitUntil([&] { return slowArrived; }));
        finished.append(QStringLiteral("slow"));
    });
    tasks.add([&](EventLoop &loop) {
        waitFor(loop, fastArrived);
        // A second wait of the same task, from the middle of the first one's.
        EXPECT_TRUE(loop.runFor(30));
        finished.append(QStringLiteral("fast"));
    });
    QElapsedTimer clock;
    clock.start();
    tasks.run();

    EXPECT_EQ(finished, QStringList({QStringLiteral("fast"), QStringLiteral("slow")}));
    EXPECT_LT(clock.elapsed(), 2000);
}

// A task's loop used from outside the task, by a timer's callback say, waits in place
// instead of leaving a stack it is not on.
TEST(CooperativeTasks, WaitOutsideItsTaskWaitsInPlace)
{
    EventLoop *taskLoop = nullptr;
    bool timerWaited = false;
    bool done = false;
    QTimer outside;
    outside.setSingleShot(true);
    QObject::connect(&outside, &QTimer::timeout, [&] {
        ASSERT_NE(taskLoop, nullptr);
        timerWaited = taskLoop->runFor(10);
        done = true;
    });

    CooperativeTasks tasks;
    tasks.add([&](EventLoop &loop) {
        taskLoop = &loop;
        outside.start(5);
        waitFor(loop, done);
    });
    tasks.run();

    EXPECT_TRUE(timerWaited);
}
