// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FormLayout.h"

#include <algorithm>

namespace talvesk {

namespace {

constexpr double kMessageListHeight = 240;
constexpr double kStatusBarHeight = 375;
// The status row as designed: 50 above the progress bar, 300 for it, 25 under it.
constexpr double kStatusRowAbove = 50;
constexpr double kStatusRowBelow = 25;

// The progress bar and the message list on the status bar's row.
void placeStatusRow(const FormMetrics &m, FormGeometry &g)
{
    g.progressBar.top = m.statusBarTop + kStatusRowAbove;
    g.messageList.top = g.progressBar.top;
    g.messageList.height = messageListHeight(m);
    g.messageList.left = m.clientWidth * 0.4;
    g.messageList.width = m.clientWidth * 0.6;
    g.progressBar.left = m.clientWidth * 0.1;
    g.progressBar.width = m.clientWidth * 0.3;
}

} // namespace

double messageListHeight(const FormMetrics &metrics)
{
    return std::max(kMessageListHeight, metrics.messageLineHeight);
}

double statusBarHeight(const FormMetrics &metrics)
{
    return std::max(kStatusBarHeight, kStatusRowAbove + messageListHeight(metrics) + kStatusRowBelow);
}

FormGeometry initialFormGeometry()
{
    FormGeometry g;
    g.itemBrowser = {0, 1200, 12175, 5290};
    g.previewBrowser = g.itemBrowser;
    g.addressBox = {840, 0, 8235, 300};
    g.collectButton = {9120, 0, 975, 375};
    g.downloadButton = {10080, 0, 975, 375};
    g.progressBar = {1219.5, 6545, 3658.5, 300};
    g.messageList = {4878, 6545, 7317, 240};
    return g;
}

FormGeometry layoutPass(const FormMetrics &metrics, const FormGeometry &previous)
{
    FormGeometry g = previous;
    // A minimized window reports no client area, so its browsers would get negative sizes.
    const double clientWidth = metrics.minimized ? 0 : metrics.clientWidth;
    const double clientHeight = metrics.minimized ? 0 : metrics.clientHeight;

    const double statusRowGrowth = statusBarHeight(metrics) - kStatusBarHeight;
    const TwipRect browserArea{0, 1200, clientWidth - 20, clientHeight - 1580 - statusRowGrowth};
    if (browserArea.width < 0 || browserArea.height < 0)
        return g;
    g.itemBrowser = browserArea;
    g.previewBrowser = browserArea;

    const double addressWidth = metrics.outerWidth - 3500;
    if (addressWidth < 0)
        return g;
    g.addressBox.width = addressWidth;
    g.collectButton.left = g.addressBox.width + 1000;
    g.downloadButton.left = g.collectButton.left + g.collectButton.width;

    placeStatusRow(metrics, g);
    return g;
}

FormGeometry repaintPass(const FormMetrics &metrics, const FormGeometry &previous)
{
    FormGeometry g = previous;
    placeStatusRow(metrics, g);
    return g;
}

} // namespace talvesk
