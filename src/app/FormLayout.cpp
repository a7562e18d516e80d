// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FormLayout.h"

namespace talvesk {

namespace {

// The status row as designed: 50 above the progress bar, 300 for it, 25 under it.
constexpr double kStatusRowAbove = 50;

// The progress bar on the status bar's row.
void placeStatusRow(const FormMetrics &m, FormGeometry &g)
{
    g.progressBar.top = m.statusBarTop + kStatusRowAbove;
    g.progressBar.left = m.clientWidth * 0.1;
    g.progressBar.width = m.clientWidth * 0.3;
}

} // namespace

FormGeometry initialFormGeometry()
{
    FormGeometry g;
    g.browsers = {0, 1200, 12175, 5290};
    g.addressBox = {840, 0, 8235, 300};
    g.collectButton = {9120, 0, 975, 375};
    g.downloadButton = {10080, 0, 975, 375};
    g.progressBar = {1219.5, 6545, 3658.5, 300};
    return g;
}

FormGeometry layoutPass(const FormMetrics &metrics, const FormGeometry &previous)
{
    FormGeometry g = previous;
    // A minimized window reports no client area, so its browsers would get negative sizes.
    const double clientWidth = metrics.minimized ? 0 : metrics.clientWidth;
    const double clientHeight = metrics.minimized ? 0 : metrics.clientHeight;

    const TwipRect browserArea{0, 1200, clientWidth - 20, clientHeight - 1580};
    if (browserArea.width < 0 || browserArea.height < 0)
        return g;
    g.browsers = browserArea;

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
