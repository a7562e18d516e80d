#include "app/cli/HeadlessControls.h"

#include "platform/PageBrowser.h"

namespace talvesk {

HeadlessControls::HeadlessControls(PageBrowser &webBrowser1, PageBrowser &webBrowser2)
    : m_webBrowser1(webBrowser1), m_webBrowser2(webBrowser2)
{
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

} // namespace talvesk
