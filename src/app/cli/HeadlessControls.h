// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowControls.h"

namespace talvesk {

class PageBrowser;

// The window parts the commands drive, without a window: a tab shows its browser as in the
// window (a hidden page is not scrolled into view, so its lazily shown pictures would never
// appear). Enabling has nothing to show.
class HeadlessControls final : public WindowControls
{
public:
    HeadlessControls(PageBrowser &itemBrowser, PageBrowser &previewBrowser);

    void selectTab(Tab tab) override;
    void setWindowEnabled(bool) override {}

private:
    PageBrowser &m_itemBrowser;
    PageBrowser &m_previewBrowser;
};

} // namespace talvesk
