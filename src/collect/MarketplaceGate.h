// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageDocument.h"

#include <QStringList>
#include <QUrl>

namespace talvesk {

// The pages the marketplace puts in front of an item for a visitor who is not logged in or
// looks like a robot: a login page, or a verification (a slider) or refusal page. They are
// known by their address, by the marks of their forms and sliders, and by the frames that
// carry them over a page.
class MarketplaceGate final
{
public:
    enum class Kind {
        None,
        Login,
        Verification, // a check to pass, or a refusal
    };

    MarketplaceGate() = delete;

    // What shownMarks() is asked for.
    static QStringList selectors();
    static QStringList phrases();

    static Kind ofAddress(const QUrl &address);
    // The page at address, which shows marks (those of selectors() and phrases()).
    static Kind ofPage(const QUrl &address, const ShownMarks &marks);
};

} // namespace talvesk
