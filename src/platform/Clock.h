// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace talvesk {

// Monotonic time, for limits on how long a command may go on.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds since a fixed point of this clock's choosing; never goes back.
    virtual std::int64_t milliseconds() const = 0;
};

} // namespace talvesk
