#pragma once

#include "platform/WindowControls.h"

namespace talvesk {

class PageBrowser;

// The window parts the commands drive, without a window: the address is the one being
// collected, and a tab shows its browser as in the window (a hidden page is not scrolled into
// view, so its lazily shown pictures would never appear). Enabling has nothing to show.
class HeadlessControls final : public WindowControls
{
public:
    HeadlessControls(PageBrowser &itemBrowser, PageBrowser &previewBrowser);

    void setAddress(const QString &address) { m_address = address; }
    // The collect disables the window once its page is loaded and scrolled, before it reads
    // the pictures: called then, it marks the end of the page's time limit.
    void onScrollPhaseEnded(std::function<void()> ended) { m_scrollPhaseEnded = std::move(ended); }

    QString addressText() const override { return m_address; }
    void selectTab(Tab tab) override;
    void setWindowEnabled(bool enabled) override;

private:
    PageBrowser &m_itemBrowser;
    PageBrowser &m_previewBrowser;
    QString m_address;
    std::function<void()> m_scrollPhaseEnded;
};

} // namespace talvesk
