#pragma once

#include "platform/EventLoop.h"

namespace talvesk {

// Yields to the Qt event loop: a yield runs what is pending and never sleeps; a wait sleeps
// in the event dispatcher until something arrives.
class QtEventLoop final : public EventLoop
{
public:
    bool yield() override;
    bool waitForEvents() override;
    bool isClosing() const override { return m_shuttingDown; }

    // Makes every later yield() return false; called when the window closes.
    void requestShutdown() { m_shuttingDown = true; }

private:
    bool m_shuttingDown = false;
};

} // namespace talvesk
