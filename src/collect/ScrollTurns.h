// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Waits.h"

#include <qcoro/qcorotask.h>

#include <memory>

namespace talvesk {

class Waits;

// Scroll phases of pages that share a machine, taking turns. A page scrolled draws a frame
// for every step it takes: pages scrolled at once on the same cores each draw for longer, and
// together take longer than one after another. The other steps of their collects (loading,
// settling, reading) go on meanwhile. A turn is held until it is given back: no more pages
// scroll at once than there are turns. A page that would hold its turn for good is ended by
// its own time limit, which runs while it holds the turn and not while it waits for one.
class ScrollTurns final
{
    struct State;
    struct Ticket;

public:
    // A turn held; it passes to the page that has waited longest when it goes.
    class Turn final
    {
    public:
        Turn() = default;
        Turn(Turn &&) = default;
        Turn &operator=(Turn &&) = default; // gives back the turn held before
        Turn(const Turn &) = delete;
        Turn &operator=(const Turn &) = delete;

        bool held() const { return m_ticket != nullptr; }

    private:
        friend class ScrollTurns;
        explicit Turn(std::shared_ptr<Ticket> ticket) : m_ticket(std::move(ticket)) {}
        std::shared_ptr<Ticket> m_ticket;
    };

    // At most this many turns are held at once; at least one.
    explicit ScrollTurns(int atOnce);
    ~ScrollTurns();
    ScrollTurns(const ScrollTurns &) = delete;
    ScrollTurns &operator=(const ScrollTurns &) = delete;

    // A turn, at once when one is free, else once one is given back; none when the waits are
    // aborted first. Turns given back after this object has gone go nowhere.
    QCoro::Task<Waited<Turn>> take(Waits &waits);

private:
    std::shared_ptr<State> m_state;
};

} // namespace talvesk
