#include "app/cli/HeadlessControls.h"

#include "platform/PageBrowser.h"

namespace talvesk {

HeadlessControls::HeadlessControls(PageBrowser &webBrowser1, PageBrowser &webBrowser2,
                                   std::function<void()> tick, QObject *parent)
    : QObject(parent), m_webBrowser1(webBrowser1), m_webBrowser2(webBrowser2)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [tick = std::move(tick)] { tick(); });
}

void HeadlessControls::selectTab(Tab tab)
{
    const bool browse = tab == Tab::Browse;
    m_webBrowser1.setVisible(browse);
    m_webBrowser2.setVisible(!browse);
}

void HeadlessControls::setWindowEnabled(bool enabled)
{
    if (!enabled && m_scrollPhaseEnded)
        m_scrollPhaseEnded();
}

void HeadlessControls::setTimerEnabled(bool enabled)
{
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}

} // namespace talvesk
