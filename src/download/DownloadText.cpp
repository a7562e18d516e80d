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

QString progressLine(int done, int total)
{
    return QStringLiteral("图片下载进度:%1/%2,已完成%3%")
        .arg(done)
        .arg(total)
        .arg(progressPercent(done, total));
}

QString picFileTail(const QString &address)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString tail;
    for (const QChar c : address.right(4)) {
        if (c.unicode() >= 0x20 && !forbidden.contains(c))
            tail.append(c);
    }
    return tail;
}

} // namespace talvesk
