// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadText.h"

namespace talvesk {

int progressPercent(int done, int total)
{
    if (total <= 0)
        return 0;
    const int scaled = done * 100;
    int percent = scaled / total;
    const int twiceRemainder = 2 * (scaled % total);
    if (twiceRemainder > total || (twiceRemainder == total && percent % 2 != 0))
        ++percent;
    return percent;
}

QString pictureFileTail(const QString &address)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString tail = address.right(4);
    for (qsizetype i = 0; i < tail.size(); ++i) {
        const QChar c = tail.at(i);
        // A half of a surrogate pair would reach the file system as U+FFFD, like any other half.
        const bool pairedHigh = c.isHighSurrogate() && i + 1 < tail.size() && tail.at(i + 1).isLowSurrogate();
        const bool pairedLow = c.isLowSurrogate() && i > 0 && tail.at(i - 1).isHighSurrogate();
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c) ||
            (c.isSurrogate() && !pairedHigh && !pairedLow))
            tail[i] = QLatin1Char('_');
    }
    return tail;
}

} // namespace talvesk
