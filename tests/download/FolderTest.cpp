// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/FolderCreation.h"
#include "download/PathJoin.h"
#include "support/DownloadFailurePrinter.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace talvesk;
using Kind = talvesk::FolderFailure::Kind;
using talvesk::test::readFile;

namespace {

QString in(const QTemporaryDir &dir, const QString &name)
{
    return joinPath(dir.path(), name);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

// A taken name, by a folder or by a file, leads to the name's first stemLength characters plus
// 1, 2, ... in the same parent; what was there is left untouched.
TEST(Mkdiruser, RetriesInTheSameParentWithANumber)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("T")));
    writeFile(in(dir, QStringLiteral("T/keep.jpg")), "old");
    EXPECT_EQ(createNewFolder(in(dir, QStringLiteral("T")), 1).path, in(dir, QStringLiteral("T1")));
    EXPECT_EQ(createNewFolder(in(dir, QStringLiteral("T")), 1).path, in(dir, QStringLiteral("T2")));
    EXPECT_EQ(readFile(in(dir, QStringLiteral("T/keep.jpg"))), QByteArray("old"));

    writeFile(in(dir, QStringLiteral("主图")), "a file");
    const FolderResult sub = createNewFolder(in(dir, QStringLiteral("主图")), 2);
    EXPECT_EQ(sub.path, in(dir, QStringLiteral("主图1")));
    EXPECT_TRUE(QFileInfo(sub.path).isDir());
    EXPECT_EQ(readFile(in(dir, QStringLiteral("主图"))), QByteArray("a file"));

    // Only the folder's own name is shortened, never its parent path.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ABCDEFGHIJ")));
    EXPECT_EQ(createNewFolder(in(dir, QStringLiteral("ABCDEFGHIJ")), 2).path, in(dir, QStringLiteral("AB1")));
}

// Folders that cannot be made are reported with a reason and nothing is created.
TEST(Mkdiruser, ReportsFoldersThatCannotBeMade)
{
    QTemporaryDir dir;
    const FolderResult missing = createNewFolder(in(dir, QStringLiteral("no/T")), 1);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.failure, FolderFailure{Kind::MissingParent});

    const QString longName(300, QLatin1Char('x'));
    const FolderResult tooLong = createNewFolder(in(dir, longName), 300);
    EXPECT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.failure, FolderFailure{Kind::NameTooLong});

    writeFile(in(dir, QStringLiteral("file")), "x");
    const FolderResult underFile = createNewFolder(in(dir, QStringLiteral("file/T")), 1);
    EXPECT_FALSE(underFile.ok());
    EXPECT_EQ(underFile.failure, FolderFailure{Kind::ParentNotFolder});

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("file")});
}

// A parent the user may not write to is reported, not retried.
TEST(Mkdiruser, ReportsAParentWithoutWritePermission)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    QTemporaryDir dir;
    const QString locked = in(dir, QStringLiteral("locked"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const FolderResult made = createNewFolder(joinPath(locked, QStringLiteral("T")), 1);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(made.ok());
    EXPECT_EQ(made.failure, FolderFailure{Kind::NoPermission});
}

// A parent already holding every candidate name ends with an error instead of searching on.
TEST(Mkdiruser, GivesUpAfterABoundedNumberOfCandidates)
{
    QTemporaryDir dir;
    QDir parent(dir.path());
    ASSERT_TRUE(parent.mkdir(QStringLiteral("T")));
    for (int i = 1; i <= 1000; ++i)
        ASSERT_TRUE(parent.mkdir(QStringLiteral("T%1").arg(i)));
    const FolderResult made = createNewFolder(in(dir, QStringLiteral("T")), 1);
    EXPECT_FALSE(made.ok());
    EXPECT_EQ(made.failure, FolderFailure{Kind::AllNamesTaken});
}

// A chosen folder loses a trailing separator, except a root.
TEST(ChosenFolder, LosesTheTrailingSeparator)
{
    EXPECT_EQ(withoutTrailingSeparator(QStringLiteral("/data/pics/")),
              QDir::toNativeSeparators(QStringLiteral("/data/pics")));
    EXPECT_EQ(withoutTrailingSeparator(QStringLiteral("/")), QDir::toNativeSeparators(QStringLiteral("/")));
    EXPECT_EQ(withoutTrailingSeparator(QStringLiteral("/data/x")),
              QDir::toNativeSeparators(QStringLiteral("/data/x")));
    EXPECT_EQ(withoutTrailingSeparator(QString()), QString());
}

// Joining under a root does not double the separator.
TEST(JoinPath, AddsOneSeparator)
{
    const QString sep = QDir::separator();
    EXPECT_EQ(joinPath(QStringLiteral("a"), QStringLiteral("b")),
              QStringLiteral("a") + sep + QStringLiteral("b"));
    EXPECT_EQ(joinPath(sep, QStringLiteral("b")), sep + QStringLiteral("b"));
}
