#pragma once

#include "platform/EventLoop.h"

namespace talvesk {

// Yields to the Qt event loop. Waits up to a millisecond for new events when none are
// pending, so a command that polls does not spin a core.
class QtEventLoop final : public EventLoop
{
public:
    bool yield() override;

    // Makes every later yield() return false; called when the window closes.
    void requestShutdown() { m_shuttingDown = true; }
    bool isShuttingDown() const { return m_shuttingDown; }

private:
    bool m_shuttingDown = false;
};

} // namespace talvesk
