// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventLoop.h"

#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace talvesk {

// What a wait gives: its answer, or nothing when it was cut short (its waits were aborted, or
// something the procedure depends on went). The procedure must look before it goes on.
template <typename T> class [[nodiscard]] Waited
{
public:
    Waited() = default;
    explicit Waited(T answer) : m_answer(std::move(answer)) {}

    bool cutShort() const { return !m_answer.has_value(); }
    const T &operator*() const { return *m_answer; }
    T &operator*() { return *m_answer; }
    const T *operator->() const { return &*m_answer; }

private:
    std::optional<T> m_answer;
};

// The waits of one asynchronous procedure (a coroutine that awaits them one at a time), and
// its abort. Each wait returns to the event loop and resumes the procedure once, on whichever
// comes first: its answer, or abort(). What it gives (Waited) is the answer, or nothing when it
// was cut short; after abort() every wait returns at once, cut short.
//
// Waking: a procedure is resumed only from the event loop, never inside the stack of whoever
// answered or aborted it. An answer or an event that comes from elsewhere (a page, a reply, a
// signal) and abort() post the resumption to the loop; a call that the loop makes itself (a
// turn, a sleep, a time limit) resumes the procedure in that call. So whoever aborts or answers
// returns before the procedure goes on, and a procedure never ends, nor destroys what it owns,
// inside a signal that an object is still emitting, nor inside the destructor of an owner
// that ends it: what the procedure touches once resumed is its own, never the owner's. A
// procedure still waiting when its Waits goes is never resumed.
//
//   Waits waits(loop);
//   waits.dependOn(browser.presence()); // the procedure is aborted once the browser has gone
//   const Waited<PageAnswer<int>> height = co_await waits.answer<PageAnswer<int>>(
//       [&](auto reply) { document.scrollToTopReadingHeight(std::move(reply)); });
//   if (height.cutShort())
//       co_return ...;
//
// A wait's Waited is named before it is looked at: GCC 12 mishandles a co_await inside a
// condition. A lambda written inside a co_await expression captures by reference only: GCC 12 destroys
// such a closure twice, so a copy it holds (a QString, a shared pointer) loses a reference it
// never took. A callback that must own something is named before the co_await.
class Waits final
{
    struct State
    {
        std::coroutine_handle<> handle;
        bool suspended = false; // the procedure is suspended in this wait
        bool done = false;
        std::unique_ptr<PendingCall> call; // the loop's call that ends the wait or resumes it
    };

    // How a wait ends, once: complete() from anywhere, completeFromLoop() only inside a call
    // that the loop makes.
    template <typename T> class Completion
    {
    public:
        Completion(std::weak_ptr<State> state, std::shared_ptr<std::optional<T>> value, EventLoop &loop)
            : m_state(std::move(state)), m_value(std::move(value)), m_loop(&loop)
        {
        }
        void complete(T answer) const
        {
            const std::shared_ptr<State> state = m_state.lock();
            if (!state || state->done)
                return;
            *m_value = std::move(answer);
            state->done = true;
            if (state->suspended)
                resumeLater(m_state, *m_loop); // otherwise answered at once: no wait at all
        }
        void completeFromLoop(T answer) const
        {
            const std::shared_ptr<State> state = m_state.lock();
            if (!state || state->done)
                return;
            *m_value = std::move(answer);
            state->done = true;
            state->suspended = false;
            // The call being made is this one; it stays with the state until the wait is left.
            state->handle.resume();
        }

    private:
        std::weak_ptr<State> m_state;
        std::shared_ptr<std::optional<T>> m_value;
        EventLoop *m_loop;
    };

public:
    template <typename T> using Reply = std::function<void(T)>;

    explicit Waits(EventLoop &loop) : m_loop(loop) {}
    ~Waits()
    {
        if (const std::shared_ptr<State> state = m_current.lock()) {
            state->done = true;
            state->suspended = false;
            state->call.reset();
        }
    }
    Waits(const Waits &) = delete;
    Waits &operator=(const Waits &) = delete;

    // Ends the wait in progress from the event loop; later waits do not wait.
    void abort()
    {
        m_aborted = true;
        if (const std::shared_ptr<State> state = m_current.lock(); state && !state->done) {
            state->done = true;
            if (state->suspended)
                resumeLater(state, m_loop);
        }
    }
    // True once abort() has been called, or once something the procedure depends on has gone.
    bool aborted() const { return m_aborted || gone(); }
    // Whether something the procedure depends on has gone.
    bool gone() const
    {
        for (const std::weak_ptr<const void> &presence : m_dependencies) {
            if (presence.expired())
                return true;
        }
        return false;
    }
    // Whether the latest wait returned to the event loop, which then resumed the procedure: false
    // when its answer came at once, or when the waits were aborted before it.
    bool returnedToLoop() const { return m_returnedToLoop; }
    // The procedure uses what this is the presence of. That must end the waits on it when it
    // goes (a browser wakes its waiters and answers its reads); the procedure then finds
    // itself aborted and must not touch it.
    void dependOn(std::weak_ptr<const void> presence) { m_dependencies.push_back(std::move(presence)); }

    // An awaitable for one answer of a callback-style request: request(reply) is called once,
    // reply may be called at once or later, and at most once counts.
    template <typename T> class Answer
    {
    public:
        Answer(Waits &waits, std::function<void(const Completion<T> &)> start)
            : m_waits(waits), m_start(std::move(start)), m_state(std::make_shared<State>())
        {
        }
        bool await_ready() const noexcept
        {
            if (!m_waits.aborted())
                return false;
            m_waits.m_returnedToLoop = false;
            return true;
        }
        bool await_suspend(std::coroutine_handle<> handle)
        {
            m_state->handle = handle;
            m_waits.m_current = m_state;
            m_start(Completion<T>(m_state, m_value, m_waits.m_loop));
            m_waits.m_returnedToLoop = !m_state->done;
            if (m_state->done)
                return false;
            m_state->suspended = true;
            return true;
        }
        Waited<T> await_resume()
        {
            m_state->call.reset();
            if (m_waits.aborted() || !m_value->has_value())
                return Waited<T>();
            return Waited<T>(std::move(**m_value));
        }

    private:
        Waits &m_waits;
        std::function<void(const Completion<T> &)> m_start;
        std::shared_ptr<State> m_state;
        std::shared_ptr<std::optional<T>> m_value = std::make_shared<std::optional<T>>();
    };

    template <typename T> Answer<T> answer(std::function<void(Reply<T>)> request)
    {
        return Answer<T>(*this, [request = std::move(request)](const Completion<T> &completion) {
            request([completion](T value) { completion.complete(std::move(value)); });
        });
    }

    // One return to the event loop: what is pending runs, then the procedure goes on.
    Answer<bool> nextTurn()
    {
        return Answer<bool>(*this, [this](const Completion<bool> &completion) {
            holdCall(m_loop.post([completion] { completion.completeFromLoop(true); }));
        });
    }

    // Sleeps this long in the event loop.
    Answer<bool> sleep(int milliseconds)
    {
        return Answer<bool>(*this, [this, milliseconds](const Completion<bool> &completion) {
            holdCall(m_loop.after(milliseconds, [completion] { completion.completeFromLoop(true); }));
        });
    }

    // Waits until subscribe's callback is called (an event of interest), or for at most
    // milliseconds when that is not negative. True when the event came first.
    Answer<bool> event(std::function<void(std::function<void()>)> subscribe, int milliseconds = -1)
    {
        return Answer<bool>(*this, [this, subscribe = std::move(subscribe),
                                    milliseconds](const Completion<bool> &completion) {
            if (milliseconds >= 0)
                holdCall(m_loop.after(milliseconds, [completion] { completion.completeFromLoop(false); }));
            subscribe([completion] { completion.complete(true); });
        });
    }

private:
    // Has the loop resume the procedure suspended in the wait; the call goes with the wait.
    static void resumeLater(const std::weak_ptr<State> &weak, EventLoop &loop)
    {
        const std::shared_ptr<State> state = weak.lock();
        state->call = loop.post([weak] {
            if (const std::shared_ptr<State> waiting = weak.lock(); waiting && waiting->suspended) {
                waiting->suspended = false;
                waiting->handle.resume();
            }
        });
    }

    // Keeps the loop's call with the wait in progress, so it is cancelled when the wait ends.
    void holdCall(std::unique_ptr<PendingCall> call)
    {
        if (const std::shared_ptr<State> state = m_current.lock(); state && !state->done)
            state->call = std::move(call);
    }

    EventLoop &m_loop;
    std::weak_ptr<State> m_current;
    std::vector<std::weak_ptr<const void>> m_dependencies;
    bool m_aborted = false;
    bool m_returnedToLoop = false;
};

} // namespace talvesk
