// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ScrollTurns.h"
#include "platform/Waits.h"
#include "support/FakeEventLoop.h"
#include "support/TaskResult.h"

#include <gtest/gtest.h>

using namespace talvesk;
using namespace talvesk::test;

namespace {

// Turns pass in order; a page whose waits are aborted takes none with it, or the batch waits for ever.
TEST(ScrollTurnsTest, NoTurnIsLostToAPageThatStopsWaiting)
{
    FakeEventLoop loop;
    ScrollTurns turns(1);
    Waits first(loop);
    Waits second(loop);
    Waits third(loop);
    Waits fourth(loop);
    const auto a = started(turns.take(first));
    const auto b = started(turns.take(second));
    const auto c = started(turns.take(third));
    const auto d = started(turns.take(fourth));
    ASSERT_TRUE(a->has_value()); // free: at once
    EXPECT_FALSE(b->has_value());

    second.abort();
    loop.runUntil([&] { return b->has_value(); });
    ASSERT_TRUE(b->has_value());

    a->reset(); // given back: to the longest waiting page still there
    loop.runUntil([&] { return c->has_value(); });
    ASSERT_TRUE(c->has_value());
    EXPECT_FALSE(d->has_value());

    c->reset();
    fourth.abort(); // before the turn given to it resumes it
    loop.runUntil([&] { return d->has_value(); });
    ASSERT_TRUE(d->has_value());

    Waits fifth(loop);
    const auto e = started(turns.take(fifth));
    ASSERT_TRUE(e->has_value());

    Waits sixth(loop);
    const auto f = started(turns.take(sixth));
    const auto aMinute = loop.after(60000, [] {}); // time passes, the turn stays held
    loop.runUntil([&] { return f->has_value(); });
    EXPECT_FALSE(f->has_value());
    e->reset();
    loop.runUntil([&] { return f->has_value(); });
    EXPECT_TRUE(f->has_value());
}

} // namespace
