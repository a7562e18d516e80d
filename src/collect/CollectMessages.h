// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
    // After a collect: M + C, D and their total, as the preview counted them.
    static QString summary(const PreviewCounts &counts);

    // Notices before the summary: a page that kept growing was scrolled only so far.
    static QString distanceLimit();
    static QString scrollTimeLimit();

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
    static QString lazyImagesUnfinished();
    static QString unreadableDivs();
    static QString unreadablePictures();
    // Neither reader found a picture: no item page, or a layout not known.
    static QString noPictures();
    static QString previewFailed(const QString &reason);
};

} // namespace talvesk
