// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ScrollTurns.h"

#include "platform/Waits.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <utility>

namespace talvesk {

struct ScrollTurns::State
{
    explicit State(int atOnce) : free(std::max(1, atOnce)) {}

    int free;
    std::deque<std::weak_ptr<Ticket>> waiting; // a waiter that went leaves its place empty

    // The ticket holds a turn, until it goes.
    void grant(const std::shared_ptr<Ticket> &ticket);
    // Gives the free turns to the pages that have waited longest.
    void passOn();
};

// A page's place in the queue, and then its turn: the turn goes back when the ticket goes,
// also when the page went before it could use the turn it was given.
struct ScrollTurns::Ticket
{
    std::weak_ptr<State> turns;
    std::function<void(bool)> wake; // the waiting page
    bool holds = false;             // a turn

    Ticket() = default;
    Ticket(const Ticket &) = delete;
    Ticket &operator=(const Ticket &) = delete;
    ~Ticket() { giveBack(); }

    void giveBack()
    {
        if (!std::exchange(holds, false))
            return;
        if (const std::shared_ptr<State> state = turns.lock()) {
            ++state->free;
            state->passOn();
        }
    }
};

void ScrollTurns::State::grant(const std::shared_ptr<Ticket> &ticket)
{
    --free;
    ticket->holds = true;
}

void ScrollTurns::State::passOn()
{
    while (free > 0 && !waiting.empty()) {
        const std::shared_ptr<Ticket> next = waiting.front().lock();
        waiting.pop_front();
        if (!next)
            continue;
        grant(next);
        std::exchange(next->wake, nullptr)(true);
    }
}

ScrollTurns::ScrollTurns(int atOnce) : m_state(std::make_shared<State>(atOnce))
{
}

ScrollTurns::~ScrollTurns() = default;

QCoro::Task<Waited<ScrollTurns::Turn>> ScrollTurns::take(Waits &waits)
{
    auto ticket = std::make_shared<Ticket>();
    ticket->turns = m_state;
    if (m_state->free > 0) {
        m_state->grant(ticket);
        co_return Waited(Turn(std::move(ticket)));
    }
    const Waited<bool> woken = co_await waits.answer<bool>([&](Waits::Reply<bool> wake) {
        ticket->wake = std::move(wake);
        m_state->waiting.push_back(ticket);
    });
    // Cut short: the ticket goes with this frame, and with it a turn given meanwhile.
    if (woken.cutShort())
        co_return Waited<Turn>();
    co_return Waited(Turn(std::move(ticket)));
}

} // namespace talvesk
