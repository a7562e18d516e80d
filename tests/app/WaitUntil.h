// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waits, running the event loop, until a condition holds or a generous limit passes.
//
//   ASSERT_TRUE(waitUntil([&] { return browser.loadState() == PageBrowser::LoadState::Finished; }));

#include <QTest>

#include <utility>

namespace talvesk::test {

template <typename Condition> bool waitUntil(Condition &&condition, int limitMs = 30000)
{
    return QTest::qWaitFor(std::forward<Condition>(condition), limitMs);
}

} // namespace talvesk::test
