// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadWords.h"

#include "download/DownloadText.h"

namespace talvesk {

QString progressLine(int done, int total)
{
    return QStringLiteral("图片下载进度:%1/%2,已完成%3%")
        .arg(done)
        .arg(total)
        .arg(progressPercent(done, total));
}

} // namespace talvesk
