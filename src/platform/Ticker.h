// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace talvesk {

// A once-a-second clock that a command starts for as long as it needs the ticks.
class Ticker
{
public:
    virtual ~Ticker() = default;

    // Calls onTick every second from the event loop until stop(); a second start() replaces it.
    virtual void start(std::function<void()> onTick) = 0;
    virtual void stop() = 0;
};

} // namespace talvesk
