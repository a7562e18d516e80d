// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Waits.h"

#include "support/FakeEventLoop.h"

#include <gtest/gtest.h>

using talvesk::Waits;
using talvesk::test::FakeEventLoop;
using talvesk::test::started;

namespace {

struct Outcome
{
    int answer = -1;             // what the answer gave the procedure
    bool answerCutShort = false; // the answer's wait gave nothing
    bool slept = false;          // the sleep after it ran its time
    bool aborted = false;
};

// A procedure that asks for one answer, then sleeps a second; the test plays the page.
struct Procedure
{
    QCoro::Task<Outcome> run()
    {
        Outcome outcome;
        const talvesk::Waited<int> answer = co_await waits.answer<int>([this](Waits::Reply<int> give) {
            ++requests;
            reply = std::move(give);
        });
        outcome.answerCutShort = answer.cutShort();
        if (!answer.cutShort())
            outcome.answer = *answer;
        resumed = true;
        const talvesk::Waited<bool> slept = co_await waits.sleep(1000);
        outcome.slept = !slept.cutShort();
        outcome.aborted = waits.aborted();
        co_return outcome;
    }

    FakeEventLoop loop;
    Waits waits{loop};
    int requests = 0;
    Waits::Reply<int> reply;
    bool resumed = false; // past its answer
};

} // namespace

// Unaborted, the procedure gets its answer and then sleeps its second. It goes on from the
// loop, never inside the stack of whoever answered.
TEST(Waits, AnswerThenSleep)
{
    Procedure procedure;
    const auto outcome = started(procedure.run());
    ASSERT_EQ(procedure.requests, 1);
    procedure.reply(7);
    EXPECT_FALSE(procedure.resumed);
    procedure.loop.runUntil([&] { return outcome->has_value(); });
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->answer, 7);
    EXPECT_TRUE((*outcome)->slept);
    EXPECT_FALSE((*outcome)->aborted);
    EXPECT_EQ(procedure.loop.now(), 1000);
}

// Aborted before it waits, the procedure asks for nothing and runs through every wait at once,
// each cut short.
TEST(Waits, AbortBeforeTheAnswer)
{
    Procedure procedure;
    procedure.waits.abort();
    const auto outcome = started(procedure.run());
    procedure.loop.runUntil([&] { return outcome->has_value(); }, 10);
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ(procedure.requests, 0);
    EXPECT_TRUE((*outcome)->answerCutShort);
    EXPECT_FALSE((*outcome)->slept);
    EXPECT_TRUE((*outcome)->aborted);
    EXPECT_EQ(procedure.loop.now(), 0);
}

// Aborted while it waits, the procedure goes on from the loop, not inside abort(); late answers drop.
TEST(Waits, AbortDuringTheAnswer)
{
    Procedure procedure;
    const auto outcome = started(procedure.run());
    procedure.loop.runUntil([] { return false; }, 3);
    ASSERT_FALSE(outcome->has_value());

    procedure.waits.abort();
    EXPECT_FALSE(procedure.resumed);
    procedure.loop.runUntil([&] { return outcome->has_value(); }, 10);
    ASSERT_TRUE(outcome->has_value());
    EXPECT_TRUE((*outcome)->answerCutShort);
    EXPECT_FALSE((*outcome)->slept);
    EXPECT_TRUE((*outcome)->aborted);

    procedure.reply(7);
    EXPECT_EQ((*outcome)->answer, -1);
    EXPECT_EQ(procedure.requests, 1);
    EXPECT_FALSE(procedure.loop.step()) << "something is left for the loop to do";
}

// Aborted after the answer, in the sleep that follows, the procedure keeps the answer it got
// and leaves no timer behind; a second answer to the finished wait changes nothing.
TEST(Waits, AbortAfterTheAnswer)
{
    Procedure procedure;
    const auto outcome = started(procedure.run());
    procedure.reply(7);
    procedure.reply(8);
    // Until the sleep has set its timer.
    procedure.loop.runUntil([&] { return !procedure.loop.timers().empty(); }, 10);
    ASSERT_FALSE(outcome->has_value());

    procedure.waits.abort();
    procedure.loop.runUntil([&] { return outcome->has_value(); }, 10);
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->answer, 7);
    EXPECT_FALSE((*outcome)->slept);
    EXPECT_TRUE((*outcome)->aborted);
    EXPECT_FALSE(procedure.loop.step()) << "the sleep's timer is still set";
    EXPECT_LT(procedure.loop.now(), 1000);
}
