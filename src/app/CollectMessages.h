// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/CollectCommand.h"

#include <QString>
#include <QStringList>

namespace talvesk {

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
    // After a collect: M + C, D and their total.
    static QString summary(const CollectedSet &set);

    // The lines said before the summary of a collected item, in their order: a page that kept
    // growing was scrolled only so far, lists cut at 256, the description document unread or
    // read in part or stopped, a page served simplified.
    static QStringList notices(const CollectResult &result);
    // Why the description document was not read whole, as the command line says it too.
    static QString descriptionProblem(DescriptionProblem problem, int seconds);

    // Instead of starting a download while a collect runs.
    static QString downloadBusy();

    // The one line of a collect that was refused, stopped or failed.
    static QString failure(const CollectResult &result);
    // A collect whose preview could not be written failed for this reason.
    static QString previewFailed(const QString &reason);
};

} // namespace talvesk
