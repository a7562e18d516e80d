// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A clock that moves only when a test moves it.
//
//   FakeClock clock;
//   loop.onYield([&](int) { clock.now += 1000; }); // every yield takes a second

#include "platform/Clock.h"

namespace talvesk::test {

class FakeClock final : public Clock
{
public:
    std::int64_t now = 0;

    std::int64_t milliseconds() const override { return now; }
};

} // namespace talvesk::test
