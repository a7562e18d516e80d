#pragma once

#include "platform/EventLoop.h"

#include <functional>
#include <memory>
#include <vector>

namespace talvesk {

// Runs several commands at once on the one thread the browser engine allows. The commands
// are written as straight code that yields to the event loop while it waits (see EventLoop);
// each task runs on a stack of its own, and its yield returns to the event loop, which
// resumes every waiting task about once a millisecond. A task may be resumed inside a wait
// of another (a nested event loop); that wait then returns once the task yields again, so
// the tasks nest like calls and never cross.
class CooperativeTasks final
{
public:
    using Body = std::function<void(EventLoop &loop)>;

    CooperativeTasks();
    ~CooperativeTasks();
    CooperativeTasks(const CooperativeTasks &) = delete;
    CooperativeTasks &operator=(const CooperativeTasks &) = delete;

    void add(Body body);
    // Runs the event loop until every task has returned.
    void run();

    struct Task;

private:
    void resumeWaiting();

    std::vector<std::unique_ptr<Task>> m_tasks;
};

} // namespace talvesk
