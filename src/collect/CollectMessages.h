// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/MarketplaceGate.h"

#include <QString>

namespace talvesk {

struct PreviewCounts;

// The message lines of the collect, character for character.
struct CollectMessages final
{
    CollectMessages() = delete;

    // The collect's own line, rewritten while it waits and scrolls: the figure is the seconds
    // of its scroll phase.
    static QString progress(int seconds);
    // The same line while a page served simplified is loaded again: reload of reloads.
    static QString reloadProgress(int reload, int reloads, int seconds);
    // The same line while the description document is read.
    static QString descriptionProgress(int seconds);
    // After a collect: M + C, D and their total, as the preview counted them.
    static QString summary(const PreviewCounts &counts);

    // Notices before the summary: a page that kept growing was scrolled only so far.
    static QString distanceLimit();
    static QString scrollTimeLimit();
    // The description document could not be read, for this reason (one of those below).
    static QString descriptionFailed(const QString &reason);
    static QString descriptionAddressInvalid();
    static QString descriptionLoadFailed();
    static QString descriptionGone();
    static QString descriptionUnreadable();
    static QString descriptionUnresponsive();
    static QString descriptionEmpty();
    static QString descriptionTimedOut(int seconds);
    static QString descriptionBlocked(MarketplaceGate::Kind gate);
    // The description document was read only in part, for this reason (one of those below).
    static QString descriptionCutShort(const QString &reason);
    static QString descriptionDistanceLimit();
    static QString descriptionScrollTimeLimit();
    // The user stopped the description read; the rest of the item is kept.
    static QString descriptionStopped();
    // The marketplace served the simplified page at every load.
    static QString servedSimplified();

    // Instead of starting a second collect, or a download, while a collect runs; and instead of
    // loading an empty address.
    static QString busy();
    static QString downloadBusy();
    static QString emptyAddress();

    // The user stopped the collect.
    static QString stopped();

    // Failures.
    static QString loadFailed();
    static QString pageGone();
    static QString timeLimit(int seconds);
    static QString noDocument();
    static QString noBody();
    static QString unresponsive();
    static QString unreadablePictures();
    // Neither reader found a picture: no item page, or a layout not known.
    static QString noPictures();
    static QString previewFailed(const QString &reason);
    // The marketplace showed its login or check page instead of the item.
    static QString blocked(MarketplaceGate::Kind gate);
};

} // namespace talvesk
