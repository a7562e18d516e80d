#include "app/cli/HeadlessControls.h"

namespace talvesk {

HeadlessControls::HeadlessControls(std::function<void()> tick, QObject *parent) : QObject(parent)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [tick = std::move(tick)] { tick(); });
}

void HeadlessControls::setTimerEnabled(bool enabled)
{
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}

} // namespace talvesk
