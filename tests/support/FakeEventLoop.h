// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A deterministic event loop for core tests, and the clock it runs by.
//
//   FakeEventLoop loop;
//   loop.watch(browser);      // its change waiters are woken at every turn
//   loop.onYield([&](int n) { if (n == 3) browser.state = PageBrowser::LoadState::Finished; });
//   const CollectResult result = runToEnd(loop, command.run(address));
//
// A turn runs the hooks (the events that arrive, with the turn's 1-based number), wakes every
// watched browser's waiters, then makes the calls posted before the turn or by those events. A turn is made
// while a call is due or a browser is waited for; when only timers are left, the clock jumps to the next one
// and makes it without a turn (a sleep takes no turns). Turns take no time unless setMillisecondsPerTurn()
// says otherwise.

#include "platform/EventLoop.h"
#include "support/TaskResult.h"

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvesk::test {

// Something a test's loop wakes at every turn: a fake whose waiters wait for its events.
class WakeOnTurn
{
public:
    virtual ~WakeOnTurn() = default;
    virtual bool hasWaiters() const = 0;
    virtual void wakeWaiters() = 0;
};

class FakeEventLoop final : public EventLoop
{
    struct Call
    {
        std::int64_t due;
        std::uint64_t order;
        std::function<void()> then;
        std::shared_ptr<bool> live;
    };
    class Cancel final : public PendingCall
    {
    public:
        explicit Cancel(std::shared_ptr<bool> live) : m_live(std::move(live)) {}
        ~Cancel() override { *m_live = false; }

    private:
        std::shared_ptr<bool> m_live;
    };

public:
    std::unique_ptr<PendingCall> post(std::function<void()> then) override
    {
        return queue(0, std::move(then));
    }
    std::unique_ptr<PendingCall> after(int milliseconds, std::function<void()> then) override
    {
        m_timers.push_back(milliseconds);
        return queue(milliseconds, std::move(then));
    }
    // The work is done at once; what it returns is called a turn later, as from another thread.
    std::unique_ptr<PendingCall> inBackground(std::function<std::function<void()>()> work) override
    {
        return queue(0, work());
    }

    void watch(WakeOnTurn &source) { m_watched.push_back(&source); }
    void unwatch(WakeOnTurn &source) { std::erase(m_watched, &source); }
    void onYield(std::function<void(int)> hook) { m_hooks.push_back(std::move(hook)); }

    // One turn, or one timer when nothing else is left; false when there is nothing to do.
    bool step()
    {
        const bool callDue = hasLiveCall([this](const Call &call) { return call.due <= m_now; });
        bool waited = false;
        for (WakeOnTurn *source : m_watched)
            waited = waited || source->hasWaiters();
        if (!callDue && !waited) {
            std::optional<std::int64_t> next;
            for (const Call &call : m_calls) {
                if (*call.live && (!next || call.due < *next))
                    next = call.due;
            }
            if (!next)
                return false;
            m_now = *next;
            runDue(m_nextOrder);
            return true;
        }
        ++m_yields;
        m_now += m_msPerTurn;
        for (const auto &hook : std::vector<std::function<void(int)>>(m_hooks))
            hook(m_yields);
        for (WakeOnTurn *source : m_watched)
            source->wakeWaiters();
        // What the turn's events posted (a resumption, say) runs in the same turn.
        runDue(m_nextOrder);
        return true;
    }

    // Turns until done() holds, nothing is left to do, or maxTurns have passed.
    void runUntil(const std::function<bool()> &done, int maxTurns = 1000000)
    {
        const int last = m_yields + maxTurns;
        while (!done() && m_yields < last && step()) {
        }
    }

    // Each turn takes this long on the loop's clock (0 at first).
    void setMillisecondsPerTurn(int milliseconds) { m_msPerTurn = milliseconds; }
    int yields() const { return m_yields; }
    std::int64_t now() const override { return m_now; }
    // The delays of every timer asked for, in order.
    const std::vector<int> &timers() const { return m_timers; }

private:
    std::unique_ptr<PendingCall> queue(int milliseconds, std::function<void()> then)
    {
        auto live = std::make_shared<bool>(true);
        m_calls.push_back({m_now + milliseconds, m_nextOrder++, std::move(then), live});
        return std::make_unique<Cancel>(live);
    }
    template <typename Predicate> bool hasLiveCall(Predicate predicate) const
    {
        for (const Call &call : m_calls) {
            if (*call.live && predicate(call))
                return true;
        }
        return false;
    }
    // Makes the calls due now that were queued before the turn; later ones wait for the next.
    void runDue(std::uint64_t queuedBefore)
    {
        std::vector<Call> due;
        std::vector<Call> later;
        for (Call &call : m_calls) {
            if (!*call.live)
                continue;
            (call.due <= m_now && call.order < queuedBefore ? due : later).push_back(std::move(call));
        }
        m_calls = std::move(later);
        for (Call &call : due) {
            if (*call.live)
                call.then();
        }
    }

    std::vector<Call> m_calls;
    std::vector<WakeOnTurn *> m_watched;
    std::vector<std::function<void(int)>> m_hooks;
    std::vector<int> m_timers;
    std::int64_t m_now = 0;
    std::uint64_t m_nextOrder = 0;
    int m_yields = 0;
    int m_msPerTurn = 0;
};

// Runs the loop until the task has finished, and gives its result; a default one (with a
// failure recorded by the caller's check) when it never finishes.
template <typename T> T runToEnd(FakeEventLoop &loop, QCoro::Task<T> task, int maxTurns = 1000000)
{
    const auto result = started(std::move(task));
    loop.runUntil([&] { return result->has_value(); }, maxTurns);
    return result->has_value() ? std::move(**result) : T{};
}

} // namespace talvesk::test
