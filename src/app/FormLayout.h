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
    TwipRect browsers; // the browsers and, under them, the message list
    TwipRect addressBox;
    TwipRect collectButton;
    TwipRect downloadButton;
    TwipRect progressBar;

    bool operator==(const FormGeometry &other) const
    {
        return browsers == other.browsers && addressBox == other.addressBox &&
               collectButton == other.collectButton && downloadButton == other.downloadButton &&
               progressBar == other.progressBar;
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
};

// The status bar's height.
constexpr double kStatusBarHeight = 375;

// The controls where the window is created.
FormGeometry initialFormGeometry();

// The layout pass, control by control. A placement that would give a control a negative width
// or height fails, and the pass ends there: what earlier placements did stays, the rest keeps
// `previous`.
FormGeometry layoutPass(const FormMetrics &metrics, const FormGeometry &previous);

// The repaint pass: the status row's part of the layout pass again.
FormGeometry repaintPass(const FormMetrics &metrics, const FormGeometry &previous);

} // namespace talvesk
