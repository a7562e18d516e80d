// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

namespace talvesk {

class EventLoop;
class PageBrowser;

// The preview page's markup for a collected set, shown with the address it came from.
QString buildPreviewPage(const CollectedSet &set, const QString &address);

struct PreviewResult
{
    enum class Status {
        Failed, // the blank page did not load, or has no document, or refused the write, or the wait was
                // aborted
        Written,
    };

    Status status = Status::Failed;
    QString errorString; // why it was not written

    bool ok() const { return status == Status::Written; }
};

// Loads a blank page into the browser, waits for it and writes the preview into it. Title,
// address and picture addresses are HTML-escaped (& < > " '), so ordinary values give exactly
// the usual markup and no value can inject markup or script. It holds its own copy of the set
// and touches nothing else than the browser, and that only while it is there.
QCoro::Task<PreviewResult> writePreviewPage(PageBrowser &browser, EventLoop &loop, CollectedSet set,
                                            QString address);

} // namespace talvesk
