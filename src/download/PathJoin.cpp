// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/PathJoin.h"

#include <QDir>

namespace talvesk {

namespace {

bool isRoot(const QString &path)
{
    // "/" on Unix, "C:\" on Windows.
    return path.size() == 1 || (path.size() == 3 && path.at(1) == QLatin1Char(':'));
}

} // namespace

QString joinPath(const QString &folder, const QString &name)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native + name;
    return native + QDir::separator() + name;
}

QString withoutTrailingSeparator(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    while (!native.isEmpty() && native.endsWith(QDir::separator()) && !isRoot(native))
        native.chop(1);
    return native;
}

} // namespace talvesk
