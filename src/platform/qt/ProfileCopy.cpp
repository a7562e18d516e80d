// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/ProfileCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace talvesk {

namespace {

const QString &namePrefix()
{
    static const QString prefix = QStringLiteral("talvesk-profile-copy-");
    return prefix;
}

QString lockName()
{
    return QStringLiteral("copy.lock");
}

// Only the user may enter: owned by them, no rights for group or others.
bool isPrivateFolder(const QString &path)
{
    struct stat status = {};
    return lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == geteuid() && (status.st_mode & 077) == 0;
}

// The process that made the copy named name, 0 when the name is not one of ours.
qint64 ownerOf(const QString &name)
{
    if (!name.startsWith(namePrefix()))
        return 0;
    bool ok = false;
    const qint64 pid = name.mid(namePrefix().size()).section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
    return ok ? pid : 0;
}

bool isRunning(qint64 pid)
{
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QStringList copiesIn(const QString &place)
{
    QStringList copies;
    const QDir dir(place);
    for (const QString &name : dir.entryList({namePrefix() + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
        if (ownerOf(name) > 0)
            copies.append(dir.filePath(name));
    }
    return copies;
}

} // namespace

ProfileCopy::ProfileCopy(QString path, std::unique_ptr<QLockFile> lock)
    : m_path(std::move(path)), m_lock(std::move(lock))
{
}

ProfileCopy::~ProfileCopy() = default;

QStringList ProfileCopy::places()
{
    QStringList places;
    // QStandardPaths would make one in /tmp when the variable is unset; that is what we avoid.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        places.append(QDir::cleanPath(runtime));
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty())
        places.append(QDir(cache).filePath(QStringLiteral("talvesk")));
    return places;
}

std::unique_ptr<ProfileCopy> ProfileCopy::create(const QString &profileFolder, const QStringList &files,
                                                 const QStringList &places, QString &error)
{
    error = QStringLiteral("no runtime or cache folder");
    for (const QString &place : places) {
        if (!QDir().mkpath(place)) {
            error = QStringLiteral("cannot create %1").arg(place);
            continue;
        }
        QByteArray name = QFile::encodeName(QDir(place).filePath(
            namePrefix() + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX")));
        if (!mkdtemp(name.data())) {
            error = QStringLiteral("cannot create a folder in %1: %2")
                        .arg(place, QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        const QString path = QFile::decodeName(name);
        auto lock = std::make_unique<QLockFile>(QDir(path).filePath(lockName()));
        lock->setStaleLockTime(0);
        if (!isPrivateFolder(path) || !lock->tryLock()) {
            lock.reset();
            QDir(path).removeRecursively();
            error = QStringLiteral("%1 is not private to this user").arg(path);
            continue;
        }
        for (const QString &file : files)
            QFile::copy(QDir(profileFolder).filePath(file), QDir(path).filePath(file));
        return std::unique_ptr<ProfileCopy>(new ProfileCopy(path, std::move(lock)));
    }
    return nullptr;
}

void ProfileCopy::removeStale(const QStringList &places)
{
    for (const QString &place : places) {
        for (const QString &copy : copiesIn(place)) {
            QLockFile lock(QDir(copy).filePath(lockName()));
            lock.setStaleLockTime(0); // a lock whose process is gone is taken over, however old
            // Between its making and its lock, while its lock is being written (a run killed
            // then leaves it empty for good), and after its lock is released, a copy has no
            // lock that names its process: then only its process tells.
            qint64 lockingProcess = 0;
            QString host;
            QString application;
            if (!lock.getLockInfo(&lockingProcess, &host, &application)) {
                if (!isRunning(ownerOf(QDir(copy).dirName())))
                    QDir(copy).removeRecursively();
                continue;
            }
            if (lock.tryLock()) {
                lock.unlock();
                QDir(copy).removeRecursively();
            }
        }
    }
}

void ProfileCopy::removeOwn(const QStringList &places)
{
    const qint64 own = QCoreApplication::applicationPid();
    for (const QString &place : places) {
        for (const QString &copy : copiesIn(place)) {
            if (ownerOf(QDir(copy).dirName()) == own)
                QDir(copy).removeRecursively();
        }
    }
}

} // namespace talvesk
