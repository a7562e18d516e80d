// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// The parts of the main window that the commands drive; a front end without a window does
// nothing for them.
class WindowControls
{
public:
    enum class Tab {
        Browse = 1,  // "网页浏览", key "WebBrw": the marketplace page
        Preview = 2, // "采集结果", key "PicUp": the preview page
    };

    virtual ~WindowControls() = default;

    // Selects a tab as a click would, which also shows its browser and hides the other.
    virtual void selectTab(Tab tab) = 0;
    // Enables or disables the whole window for user input.
    virtual void setWindowEnabled(bool enabled) = 0;
};

} // namespace talvesk
