// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventLoop.h"

#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace talvesk {

// The waits of one asynchronous procedure (a coroutine that awaits them one at a time), and
// its abort. Each wait returns to the event loop and resumes the procedure once, on whichever
// comes first: its answer, or abort(). After abort() every wait returns at once with a default
// value, so the procedure only has to check aborted() after each co_await and return.
//
//   Waits waits(loop);
//   co_await waits.nextTurn();
//   const std::optional<int> height = co_await waits.answer<std::optional<int>>(
//       [&](auto reply) { document.bodyScrollHeight(std::move(reply)); });
//   if (waits.aborted())
//       co_return ...;
class Waits final
{
    struct State
    {
        std::coroutine_handle<> handle;
        bool suspended = false; // the procedure is suspended in this wait
        bool done = false;
        std::unique_ptr<PendingCall> call; // a call of the loop that ends the wait
    };

public:
    template <typename T> using Reply = std::function<void(T)>;

    explicit Waits(EventLoop &loop) : m_loop(loop) {}
    // A procedure still waiting here is never resumed: what it refers to may be gone.
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

    // Resumes the wait in progress at once, synchronously; later waits do not wait.
    void abort()
    {
        m_aborted = true;
        if (const std::shared_ptr<State> state = m_current.lock())
            finish(*state);
    }
    bool aborted() const { return m_aborted; }

    // An awaitable for one answer of a callback-style request: request(reply) is called once,
    // reply may be called at once or later, and at most once counts.
    template <typename T> class Answer
    {
    public:
        Answer(Waits &waits, std::function<void(Reply<T>)> request)
            : m_waits(waits), m_request(std::move(request)), m_state(std::make_shared<State>())
        {
        }
        bool await_ready() const noexcept { return m_waits.m_aborted; }
        bool await_suspend(std::coroutine_handle<> handle)
        {
            m_state->handle = handle;
            m_waits.m_current = m_state;
            std::weak_ptr<State> weak = m_state;
            auto value = m_value;
            m_request([weak, value](T answer) {
                const std::shared_ptr<State> state = weak.lock();
                if (!state || state->done)
                    return;
                *value = std::move(answer);
                finish(*state);
            });
            if (m_state->done)
                return false;
            m_state->suspended = true;
            return true;
        }
        T await_resume()
        {
            m_state->call.reset();
            return m_waits.m_aborted || !m_value->has_value() ? T{} : std::move(**m_value);
        }

    private:
        Waits &m_waits;
        std::function<void(Reply<T>)> m_request;
        std::shared_ptr<State> m_state;
        std::shared_ptr<std::optional<T>> m_value = std::make_shared<std::optional<T>>();
    };

    template <typename T> Answer<T> answer(std::function<void(Reply<T>)> request)
    {
        return Answer<T>(*this, std::move(request));
    }

    // One return to the event loop: what is pending runs, then the procedure goes on.
    Answer<bool> nextTurn()
    {
        return answer<bool>([this](Reply<bool> reply) { holdCall(m_loop.post([reply] { reply(true); })); });
    }

    // Sleeps this long in the event loop.
    Answer<bool> sleep(int milliseconds)
    {
        return answer<bool>([this, milliseconds](Reply<bool> reply) {
            holdCall(m_loop.after(milliseconds, [reply] { reply(true); }));
        });
    }

    // Waits until subscribe's callback is called (an event of interest), or for at most
    // milliseconds when that is not negative. True when the event came first.
    Answer<bool> event(std::function<void(std::function<void()>)> subscribe, int milliseconds = -1)
    {
        return answer<bool>([this, subscribe = std::move(subscribe), milliseconds](Reply<bool> reply) {
            if (milliseconds >= 0)
                holdCall(m_loop.after(milliseconds, [reply] { reply(false); }));
            subscribe([reply] { reply(true); });
        });
    }

private:
    static void finish(State &state)
    {
        state.done = true;
        state.call.reset();
        if (state.suspended) {
            state.suspended = false;
            state.handle.resume();
        }
    }

    // Keeps the loop's call with the wait in progress, so it is cancelled when the wait ends.
    void holdCall(std::unique_ptr<PendingCall> call)
    {
        if (const std::shared_ptr<State> state = m_current.lock(); state && !state->done)
            state->call = std::move(call);
    }

    EventLoop &m_loop;
    std::weak_ptr<State> m_current;
    bool m_aborted = false;
};

} // namespace talvesk
