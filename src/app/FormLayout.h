// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace talvesk {

// Window geometry is kept in twips, as designed; 15 twips make one logical pixel.
constexpr double kTwipsPerPixel = 15.0;

struct TwipRect
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    bool operator==(const TwipRect &other) const
    {
        return left == other.left && top == other.top && width == other.width && height == other.height;
    }
};

// The controls that the layout and repaint passes move.
struct FormGeometry
{
    TwipRect itemBrowser;
    TwipRect previewBrowser;
    TwipRect addressBox;
    TwipRect collectButton;
    TwipRect downloadButton;
    TwipRect progressBar;
    TwipRect messageList;

    bool operator==(const FormGeometry &other) const
    {
        return itemBrowser == other.itemBrowser && previewBrowser == other.previewBrowser &&
               addressBox == other.addressBox && collectButton == other.collectButton &&
               downloadButton == other.downloadButton && progressBar == other.progressBar &&
               messageList == other.messageList;
    }
};

// What the passes read from the window.
struct FormMetrics
{
    double clientWidth = 0;
    double clientHeight = 0;
    double outerWidth = 0;
    double statusBarTop = 0;
    bool minimized = false; // a minimized window has no client area
    // The message list's smallest height that shows one whole line in its font.
    double messageLineHeight = 0;
};

// The message list's height: as designed, or taller when its font needs more for one line.
double messageListHeight(const FormMetrics &metrics);

// The status bar's height: as designed, or taller so that a taller message list still lies
// on it; the browsers then end that much higher.
double statusBarHeight(const FormMetrics &metrics);

// The controls where the window is created.
FormGeometry initialFormGeometry();

// The layout pass, control by control. A placement that would give a control a negative width
// or height fails, and the pass ends there: what earlier placements did stays, the rest keeps
// `previous`.
FormGeometry layoutPass(const FormMetrics &metrics, const FormGeometry &previous);

// The repaint pass: the status row's part of the layout pass again.
FormGeometry repaintPass(const FormMetrics &metrics, const FormGeometry &previous);

} // namespace talvesk
