// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventLoop.h"

#include <QObject>

namespace talvesk {

// The Qt event loop the program runs: calls are queued to it or made by its timers, and are
// dropped when cancelled or when this object goes.
class QtEventLoop final : public EventLoop
{
public:
    std::int64_t now() const override;
    std::unique_ptr<PendingCall> post(std::function<void()> then) override;
    std::unique_ptr<PendingCall> after(int milliseconds, std::function<void()> then) override;
    std::unique_ptr<PendingCall> inBackground(std::function<std::function<void()>()> work) override;

private:
    QObject m_context; // the calls' receiver: none is made once it has gone
};

} // namespace talvesk
