#pragma once

#include "platform/EventLoop.h"

#include <functional>
#include <memory>
#include <vector>

namespace talvesk {

// Runs several commands at once on the one thread the browser engine allows. The commands
// are written as straight code that waits through an EventLoop; each task runs on a stack of
// its own, and its waits return to the one event loop, which resumes the tasks every time it
// has run what arrived: a task that yielded then goes on at once; a task that waits until a
// condition holds (a page's answer has come) is resumed only once it does, one that waits
// for any event at every turn. Nothing spins while every task waits.
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
    struct Progress
    {
        bool anyLeft = false;  // a task has not returned yet
        bool anyReady = false; // a task has yielded and goes on at the loop's next turn
    };
    // Resumes every task that yielded, and every waiting one whose wait may be over.
    Progress resumeAll();

    std::vector<std::unique_ptr<Task>> m_tasks;
};

} // namespace talvesk
