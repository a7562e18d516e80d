#pragma once
// A deterministic event loop for core tests.
//
//   FakeEventLoop loop;
//   loop.onYield([&](int n) { if (n == 3) browser.state = PageBrowser::LoadState::Finished; });
//   loop.shutDownAtYield(10); // the tenth yield reports that the program is closing
//
// Hooks run in the order they were added, once per yield, with the yield's 1-based number.
// A wait for events counts as a yield: the hooks are the events. runFor() takes no time and
// runs no hook; it only records how long it was asked to run.

#include "platform/EventLoop.h"

#include <functional>
#include <vector>

namespace talvesk::test {

class FakeEventLoop final : public EventLoop
{
public:
    bool yield() override
    {
        ++m_yields;
        for (const auto &hook : m_hooks)
            hook(m_yields);
        return m_shutdownAt == 0 || m_yields < m_shutdownAt;
    }

    bool waitForEvents() override { return yield(); }
    bool isClosing() const override { return m_shutdownAt != 0 && m_yields >= m_shutdownAt; }
    bool runFor(int milliseconds) override
    {
        m_runs.push_back(milliseconds);
        return m_shutdownAt == 0 || m_yields < m_shutdownAt;
    }

    void onYield(std::function<void(int)> hook) { m_hooks.push_back(std::move(hook)); }
    // Calls tick() at every k-th yield, as a timer of period k yields would.
    void tickEvery(int k, std::function<void()> tick)
    {
        onYield([k, tick = std::move(tick)](int n) {
            if (n % k == 0)
                tick();
        });
    }
    void shutDownAtYield(int n) { m_shutdownAt = n; }
    int yields() const { return m_yields; }
    const std::vector<int> &runs() const { return m_runs; }

private:
    std::vector<std::function<void(int)>> m_hooks;
    std::vector<int> m_runs;
    int m_yields = 0;
    int m_shutdownAt = 0;
};

} // namespace talvesk::test
