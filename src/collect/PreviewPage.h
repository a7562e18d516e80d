#pragma once

#include "collect/PicList.h"

#include <QString>
#include <QStringList>

namespace talvesk {

class EventLoop;
class PageBrowser;

struct PreviewCounts
{
    int main = 0;        // M
    int colour = 0;      // C
    int description = 0; // D
};

struct PreviewPage
{
    QStringList fragments; // in the order they are written
    PreviewCounts counts;
};

// The preview page's markup for a collected set, shown with the address it came from.
PreviewPage buildPreviewPage(const CollectedSet &set, const QString &address);

struct PreviewResult
{
    bool ok = false;
    PreviewCounts counts;
    QString errorString;
};

// Loads a blank page into the browser, waits for it (yielding) and writes the preview into it.
PreviewResult writePreview(PageBrowser &browser, EventLoop &loop, const CollectedSet &set,
                           const QString &address);

} // namespace talvesk
