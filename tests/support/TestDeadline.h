// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Gives each test a deadline for its waits (see app/WaitUntil.h), some way within the time a test
// may take: what is left covers the engine's start and the test's own clean-up after a failed wait.
//
//   ::testing::UnitTest::GetInstance()->listeners().Append(new talvesk::test::TestDeadline);

#include "app/WaitUntil.h"

#include <gtest/gtest.h>

namespace talvesk::test {

class TestDeadline final : public ::testing::EmptyTestEventListener
{
public:
    // The time one test may take, in seconds (tests/CMakeLists.txt).
    static constexpr int kCTestTimeoutSeconds = TALVESK_TEST_TIMEOUT_SECONDS;
    static constexpr int kWaitMilliseconds = kCTestTimeoutSeconds * 1000 * 3 / 4;

    void OnTestStart(const ::testing::TestInfo &) override
    {
        testDeadline() = QDeadlineTimer(kWaitMilliseconds);
    }
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        testDeadline() = QDeadlineTimer(QDeadlineTimer::Forever);
    }
};

} // namespace talvesk::test
