// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageBrowser.h"
#include "platform/Waits.h"

namespace talvesk {

// Waits until the browser's load state, load generation or drawing changes, or for at most
// milliseconds when that is not negative. True when the browser changed.
inline Waits::Answer<bool> waitForChange(Waits &waits, PageBrowser &browser, int milliseconds = -1)
{
    return waits.event(
        [&browser](std::function<void()> changed) { browser.notifyOnChange(std::move(changed)); },
        milliseconds);
}

} // namespace talvesk
