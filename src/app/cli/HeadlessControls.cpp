// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/HeadlessControls.h"

#include "platform/PageBrowser.h"

namespace talvesk {

HeadlessControls::HeadlessControls(PageBrowser &itemBrowser, PageBrowser &previewBrowser)
    : m_itemBrowser(itemBrowser), m_previewBrowser(previewBrowser)
{
}

void HeadlessControls::selectTab(Tab tab)
{
    const bool browse = tab == Tab::Browse;
    m_itemBrowser.setVisible(browse);
    m_previewBrowser.setVisible(!browse);
}

} // namespace talvesk
