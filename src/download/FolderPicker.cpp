// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/FolderPicker.h"

#include "platform/Dialogs.h"

#include <QDir>

namespace talvesk {

namespace {

bool isRoot(const QString &path)
{
    // "/" on Unix, "C:\" on Windows.
    return path.size() == 1 || (path.size() == 3 && path.at(1) == QLatin1Char(':'));
}

} // namespace

QString chooseSaveFolder(Dialogs &dialogs, const QString &title, const QString &initialFolder)
{
    QString path = QDir::toNativeSeparators(dialogs.chooseFolder(title, initialFolder));
    while (!path.isEmpty() && path.endsWith(QDir::separator()) && !isRoot(path))
        path.chop(1);
    return path;
}

} // namespace talvesk
