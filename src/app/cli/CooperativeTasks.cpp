#include "app/cli/CooperativeTasks.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define TALVESK_FIBER_START(save, bottom, size) __sanitizer_start_switch_fiber(save, bottom, size)
#define TALVESK_FIBER_FINISH(save, bottom, size) __sanitizer_finish_switch_fiber(save, bottom, size)
#else
#define TALVESK_FIBER_START(save, bottom, size) static_cast<void>(0)
#define TALVESK_FIBER_FINISH(save, bottom, size) static_cast<void>(0)
#endif

namespace talvesk {

namespace {

// The engine's own work runs on whichever stack waits in the event loop, so a task's stack
// is as big as a thread's. Untouched pages cost nothing.
constexpr std::size_t kStackBytes = 8 * 1024 * 1024;

} // namespace

struct CooperativeTasks::Task final : EventLoop
{
    enum class State {
        Ready,   // yielded: goes on as soon as the loop has run what is pending
        Waiting, // waits for an event
        Running,
        Done,
    };

    Body body;
    State state = State::Ready;
    bool started = false;
    void *stack = nullptr;
    ucontext_t context{};
    ucontext_t *resumer = nullptr;
    // The stack that resumed this task, for the address sanitizer's bookkeeping.
    const void *resumerBottom = nullptr;
    std::size_t resumerSize = 0;
    void *fakeStack = nullptr;
    // What a waiting task waits for, when it said; it is resumed only once that holds.
    const std::function<bool()> *wakeCondition = nullptr;

    bool yield() override { return suspend(State::Ready, QEventLoop::AllEvents); }

    bool waitForEvents() override
    {
        return suspend(State::Waiting, QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }

    bool waitUntil(const std::function<bool()> &done) override
    {
        if (state != State::Running)
            return EventLoop::waitUntil(done);
        wakeCondition = &done;
        while (!done())
            waitForEvents();
        wakeCondition = nullptr;
        return true;
    }

    bool sleepsOn() const { return state == State::Waiting && wakeCondition && !(*wakeCondition)(); }

    // A batch ends when its tasks do; nothing closes it under them.
    bool isClosing() const override { return false; }

    bool suspend(State next, QEventLoop::ProcessEventsFlags outside)
    {
        // Outside the task (a timer's callback, say) there is no stack to leave: wait in place.
        if (state != State::Running) {
            QCoreApplication::processEvents(outside);
            return true;
        }
        state = next;
        switchOut(&fakeStack);
        TALVESK_FIBER_FINISH(fakeStack, &resumerBottom, &resumerSize);
        return true;
    }

    void switchOut(void **save)
    {
        static_cast<void>(save);
        TALVESK_FIBER_START(save, resumerBottom, resumerSize);
        swapcontext(&context, resumer);
    }

    static void entry(unsigned int high, unsigned int low)
    {
        auto *task = reinterpret_cast<Task *>((static_cast<std::uintptr_t>(high) << 32) | low);
        TALVESK_FIBER_FINISH(nullptr, &task->resumerBottom, &task->resumerSize);
        task->body(*task);
        task->state = State::Done;
        task->switchOut(nullptr);
        std::abort(); // a finished task is never resumed
    }

    void resume()
    {
        if (!started) {
            started = true;
            stack = mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
            if (stack == MAP_FAILED)
                std::abort();
            // The lowest page stays unmapped for use, so an overflow faults instead of writing
            // into other memory.
            mprotect(stack, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE);
            getcontext(&context);
            context.uc_stack.ss_sp = stack;
            context.uc_stack.ss_size = kStackBytes;
            context.uc_link = nullptr;
            const auto address = reinterpret_cast<std::uintptr_t>(this);
            makecontext(&context, reinterpret_cast<void (*)()>(&Task::entry), 2,
                        static_cast<unsigned int>(address >> 32), static_cast<unsigned int>(address));
        }
        ucontext_t here;
        resumer = &here;
        state = State::Running;
        void *save = nullptr;
        TALVESK_FIBER_START(&save, stack, kStackBytes);
        swapcontext(&here, &context);
        TALVESK_FIBER_FINISH(save, nullptr, nullptr);
        static_cast<void>(save);
    }

    ~Task() override
    {
        if (stack)
            munmap(stack, kStackBytes);
    }
};

CooperativeTasks::CooperativeTasks() = default;
CooperativeTasks::~CooperativeTasks() = default;

void CooperativeTasks::add(Body body)
{
    auto task = std::make_unique<Task>();
    task->body = std::move(body);
    m_tasks.push_back(std::move(task));
}

CooperativeTasks::Progress CooperativeTasks::resumeAll()
{
    // Index by index: a task resumed here may wait in place in a loop that calls this again.
    Progress progress;
    for (std::size_t i = 0; i < m_tasks.size(); ++i) {
        Task &task = *m_tasks[i];
        if (task.state == Task::State::Ready || (task.state == Task::State::Waiting && !task.sleepsOn()))
            task.resume();
        progress.anyLeft = progress.anyLeft || task.state != Task::State::Done;
        progress.anyReady = progress.anyReady || task.state == Task::State::Ready;
    }
    return progress;
}

void CooperativeTasks::run()
{
    QEventLoop loop;
    // While a task has only yielded the loop must not sleep: a timer due at once keeps it
    // awake without waking the dispatcher from another thread.
    QTimer keepAwake;
    keepAwake.setInterval(0);
    // Emitted each time the loop has run what arrived and would wait for more.
    const QMetaObject::Connection resumer = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
            const Progress progress = resumeAll();
            if (!progress.anyLeft)
                loop.quit();
            else if (progress.anyReady && !keepAwake.isActive())
                keepAwake.start();
            else if (!progress.anyReady)
                keepAwake.stop();
        });
    loop.exec();
    QObject::disconnect(resumer);
}

} // namespace talvesk
