// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace talvesk {

// A call the event loop has been asked to make. Destroying it cancels the call.
class PendingCall
{
public:
    virtual ~PendingCall() = default;
};

// The one event loop the program runs, and its clock. Commands never run it themselves: they
// ask it to call them back and return to it, so timers, page events and clicks run in between.
class EventLoop
{
public:
    virtual ~EventLoop() = default;

    // Milliseconds on a monotonic clock, from a point of the loop's choosing: the time the
    // calls below are made by, and that the commands' limits are measured in.
    virtual std::int64_t now() const = 0;

    // Calls then once the events pending now have run: one turn of the loop.
    virtual std::unique_ptr<PendingCall> post(std::function<void()> then) = 0;
    // Calls then in this many milliseconds, sleeping meanwhile unless something else arrives.
    virtual std::unique_ptr<PendingCall> after(int milliseconds, std::function<void()> then) = 0;
    // Runs work away from the loop, so that nothing it does holds the loop's timers and signals
    // up, then calls what work returned from the loop. Cancelling drops that call; the work
    // itself runs to its end.
    virtual std::unique_ptr<PendingCall> inBackground(std::function<std::function<void()>()> work) = 0;
};

} // namespace talvesk
