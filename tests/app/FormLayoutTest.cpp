// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FormLayout.h"

#include <gtest/gtest.h>

using talvesk::FormGeometry;
using talvesk::FormMetrics;
using talvesk::initialFormGeometry;
using talvesk::layoutPass;
using talvesk::repaintPass;
using talvesk::TwipRect;

namespace {

// The initial client area, with a 240-twip wide frame around it.
FormMetrics initialWindow()
{
    FormMetrics m;
    m.clientWidth = 12195;
    m.clientHeight = 6870;
    m.outerWidth = 12435;
    m.statusBarTop = 6495;
    return m;
}

} // namespace

// A minimized window, a client height below 1580 or a client width below 20 fail the first
// step: nothing moves. Exactly 1580 high still lays out, with browsers of height 0.
TEST(FormLayout, TooSmallOrMinimizedMovesNothing)
{
    const FormGeometry previous = layoutPass(initialWindow(), initialFormGeometry());

    FormMetrics minimized = initialWindow();
    minimized.minimized = true;
    EXPECT_EQ(layoutPass(minimized, previous), previous);

    FormMetrics low = initialWindow();
    low.clientHeight = 1579;
    low.statusBarTop = 1204;
    EXPECT_EQ(layoutPass(low, previous), previous);

    FormMetrics thin = initialWindow();
    thin.clientWidth = 19;
    EXPECT_EQ(layoutPass(thin, previous), previous);

    FormMetrics zero;
    EXPECT_EQ(layoutPass(zero, previous), previous);

    FormMetrics justEnough = low;
    justEnough.clientHeight = 1580;
    EXPECT_EQ(layoutPass(justEnough, previous).browsers, (TwipRect{0, 1200, 12175, 0}));
}

// Below 3500 twips of outer width only the browsers move; a repaint then places the status
// row again, and leaves the address bar where it was.
TEST(FormLayout, NarrowWindowMovesOnlyTheBrowsers)
{
    const FormGeometry previous = layoutPass(initialWindow(), initialFormGeometry());
    FormMetrics narrow = initialWindow();
    narrow.clientWidth = 3000;
    narrow.outerWidth = 3240;

    const FormGeometry g = layoutPass(narrow, previous);
    EXPECT_EQ(g.browsers, (TwipRect{0, 1200, 2980, 5290}));
    EXPECT_EQ(g.addressBox, previous.addressBox);
    EXPECT_EQ(g.collectButton, previous.collectButton);
    EXPECT_EQ(g.downloadButton, previous.downloadButton);
    EXPECT_EQ(g.progressBar, previous.progressBar);

    const FormGeometry repainted = repaintPass(narrow, g);
    EXPECT_EQ(repainted.addressBox, previous.addressBox);
    EXPECT_EQ(repainted.progressBar, (TwipRect{300, 6545, 900, 300}));

    narrow.outerWidth = 3500; // the boundary itself lays out, with an address box of width 0
    EXPECT_DOUBLE_EQ(layoutPass(narrow, previous).collectButton.left, 1000);
}
