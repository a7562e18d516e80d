// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/PathJoin.h"

#include <QDir>

namespace talvesk {

QString joinPath(const QString &folder, const QString &name)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native + name;
    return native + QDir::separator() + name;
}

} // namespace talvesk
