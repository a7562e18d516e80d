// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/MainVideos.h"

#include "collect/CleanAddress.h"

namespace talvesk {

QStringList mainVideos(const QStringList &named, const QUrl &pageAddress)
{
    QStringList videos;
    for (const QString &text : named) {
        const QUrl url = pageAddress.resolved(QUrl(text.trimmed()));
        const QString address = url.toString(QUrl::FullyEncoded);
        if (isWebAddress(url) && !videos.contains(address))
            videos.append(address);
    }
    return videos;
}

} // namespace talvesk
