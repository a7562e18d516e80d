// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/ProfileCopy.h"

#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using talvesk::ProfileCopy;

namespace {

// A process id that was in use a moment ago and is not any more.
qint64 goneProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

QString copyOf(const QString &place, qint64 pid, const QString &suffix = QStringLiteral("abcdef"))
{
    const QString path =
        QDir(place).filePath(QStringLiteral("talvesk-profile-copy-%1-%2").arg(pid).arg(suffix));
    QDir().mkpath(path);
    return path;
}

// A copy whose lock was made but not yet written, as a run killed at that moment leaves it.
QString copyWithEmptyLock(const QString &place, qint64 pid)
{
    const QString path = copyOf(place, pid, QStringLiteral("emptyl"));
    QFile lock(QDir(path).filePath(QStringLiteral("copy.lock")));
    lock.open(QIODevice::WriteOnly);
    return path;
}

} // namespace

// A copy is private; the sweep removes only copies whose process is gone; a run's own go at its end.
TEST(ProfileCopy, PrivateAndRemovedOnlyWhenItsRunIsGone)
{
    QTemporaryDir profile;
    QFile cookies(QDir(profile.path()).filePath(QStringLiteral("Cookies")));
    ASSERT_TRUE(cookies.open(QIODevice::WriteOnly));
    cookies.write("session");
    cookies.close();
    QTemporaryDir base;
    const QString place = QDir(base.path()).filePath(QStringLiteral("not/yet/there"));

    QString error;
    std::unique_ptr<ProfileCopy> live = ProfileCopy::create(
        profile.path(), {QStringLiteral("Cookies"), QStringLiteral("Cookies-journal")}, {place}, error);
    ASSERT_TRUE(live) << qPrintable(error);
    const QFileInfo info(live->path());
    EXPECT_EQ(info.path(), QDir(place).absolutePath());
    EXPECT_EQ(info.permissions() &
                  ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                    QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
              QFileDevice::Permissions());
    QFile copied(QDir(live->path()).filePath(QStringLiteral("Cookies")));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("session"));

    const QString deadUnlocked = copyOf(place, goneProcess());
    const QString liveUnlocked = copyOf(place, getppid()); // made, its lock not taken yet
    const QString deadHalfLocked = copyWithEmptyLock(place, goneProcess());
    const QString liveHalfLocked = copyWithEmptyLock(place, getppid());
    const QString unrelated = QDir(place).filePath(QStringLiteral("talvesk-profile-copy-notes"));
    QDir().mkpath(unrelated);

    ProfileCopy::removeStale({place});
    EXPECT_TRUE(QFileInfo::exists(live->path()));
    EXPECT_FALSE(QFileInfo::exists(deadUnlocked));
    EXPECT_TRUE(QFileInfo::exists(liveUnlocked));
    EXPECT_FALSE(QFileInfo::exists(deadHalfLocked));
    EXPECT_TRUE(QFileInfo::exists(liveHalfLocked));
    EXPECT_TRUE(QFileInfo::exists(unrelated));

    // As at the program's end: the run's objects are gone, its folder is not yet.
    const QString livePath = live->path();
    live.reset();
    EXPECT_TRUE(QFileInfo::exists(livePath));
    ProfileCopy::removeStale({place});
    EXPECT_TRUE(QFileInfo::exists(livePath)) << "removed while its process still runs";
    ProfileCopy::removeOwn({place});
    EXPECT_FALSE(QFileInfo::exists(livePath));
    EXPECT_TRUE(QFileInfo::exists(liveUnlocked));
}

// With no place to make a private folder in, there is no copy and the reason names the place.
TEST(ProfileCopy, NoCopyWithoutAPlace)
{
    QTemporaryDir base;
    const QString blocker = QDir(base.path()).filePath(QStringLiteral("a-file"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    QString error;
    EXPECT_FALSE(
        ProfileCopy::create(base.path(), {}, {QDir(blocker).filePath(QStringLiteral("cache"))}, error));
    EXPECT_TRUE(error.contains(blocker)) << qPrintable(error);
}

// A runtime folder others may enter is not used; the copy goes in the cache then.
TEST(ProfileCopy, RuntimeFolderOnlyWhenPrivate)
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QStringList privatePlaces = ProfileCopy::places();
    QFile::setPermissions(runtime.path(), QFile::permissions(runtime.path()) | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
    const QStringList openPlaces = ProfileCopy::places();
    qputenv("XDG_RUNTIME_DIR", saved);

    ASSERT_FALSE(privatePlaces.isEmpty());
    EXPECT_EQ(privatePlaces.first(), QDir::cleanPath(runtime.path()));
    EXPECT_FALSE(openPlaces.contains(QDir::cleanPath(runtime.path()))) << qPrintable(openPlaces.join(u' '));
    EXPECT_FALSE(openPlaces.isEmpty());
}
