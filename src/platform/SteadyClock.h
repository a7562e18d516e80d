// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <chrono>

namespace talvesk {

// The machine's monotonic clock.
class SteadyClock final : public Clock
{
public:
    std::int64_t milliseconds() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace talvesk
