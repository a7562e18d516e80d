#pragma once
// A deterministic event loop for core tests.
//
//   FakeEventLoop loop;
//   loop.onYield([&](int n) { if (n == 3) browser.state = PageBrowser::LoadState::Finished; });
//   loop.shutDownAtYield(10); // the tenth yield reports that the program is closing
//
// Hooks run in the order they were added, once per yield, with the yield's 1-based number.

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

private:
    std::vector<std::function<void(int)>> m_hooks;
    int m_yields = 0;
    int m_shutdownAt = 0;
};

} // namespace talvesk::test
