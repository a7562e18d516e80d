// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a test reads back from the files a download or a run left.
//
//   readFile(path)        its bytes; empty if it cannot be read
//   entries(folder)       the names in it, hidden ones included, sorted
//   filesUnder(folder)    every file at any depth
//   filesOpenIn(folder)   files this process holds open in it, unnamed temporary ones included

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QStringList>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace talvesk::test {

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
    names.sort();
    return names;
}

inline QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

#ifdef Q_OS_LINUX
// Read through /proc, where a file without a name yet still shows the folder it was opened in.
inline int filesOpenIn(const QString &folder)
{
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    const QStringList fds =
        QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System | QDir::Hidden);
    int open = 0;
    for (const QString &fd : fds) {
        char target[4096];
        const QByteArray link = QFile::encodeName(QStringLiteral("/proc/self/fd/") + fd);
        const ssize_t length = readlink(link.constData(), target, sizeof(target));
        if (length > 0 && QByteArray(target, static_cast<int>(length)).startsWith(prefix))
            ++open;
    }
    return open;
}
#endif

} // namespace talvesk::test
