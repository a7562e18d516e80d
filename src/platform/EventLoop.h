#pragma once

#include <functional>

namespace talvesk {

// The commands' only way to let the window breathe: long walks give the event loop one turn
// per pass, so timer ticks, page events and clicks run in between, and waits for the page or
// the network sleep in it until something happens.
class EventLoop
{
public:
    virtual ~EventLoop() = default;

    // Runs the events pending now and returns without waiting for more. Returns false once
    // the program is closing: the caller then abandons its work and returns without touching
    // the window again.
    virtual bool yield() = 0;

    // Sleeps until at least one event arrives (a page or a reply reports, a timer ticks, the
    // user acts), then runs what is pending. For waits on a state that only events change, so
    // nothing spins while idle. Returns false once the program is closing, as yield() does.
    virtual bool waitForEvents() = 0;

    // Runs events as they arrive until done() holds. Returns false once the program is
    // closing, at once. done() only reads what events change: a loop may call it between
    // events, to wake the caller only when it holds.
    virtual bool waitUntil(const std::function<bool()> &done);

    // Whether the program is closing: a wait that ended early for that reason is no failure.
    virtual bool isClosing() const = 0;

    // Runs events as they arrive for this many milliseconds, sleeping while none do. Returns
    // false once the program is closing, at once. Waits for events with a timer set for the
    // end, unless a loop knows better.
    virtual bool runFor(int milliseconds);
};

} // namespace talvesk
