#pragma once

namespace talvesk {

// The commands' only way to let the window breathe: long waits and walks give the event
// loop one turn per pass, so timer ticks, page events and clicks run in between.
class EventLoop
{
public:
    virtual ~EventLoop() = default;

    // Runs pending events once. Returns false once the program is closing: the caller then
    // abandons its work and returns without touching the window again.
    virtual bool yield() = 0;
};

} // namespace talvesk
