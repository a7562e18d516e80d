// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/ItemManifest.h"

#include "download/PathJoin.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace talvesk;

namespace {

ItemManifest record(const QString &address, const QString &error)
{
    ItemManifest manifest;
    manifest.address = address;
    manifest.pageAddress = address + QStringLiteral("&final");
    manifest.title = QStringLiteral("T");
    ManifestEntry saved;
    saved.address = QStringLiteral("http://img.example/a.jpg");
    saved.file = QStringLiteral("主图/描述主图0.jpg");
    saved.bytes = 3;
    saved.sha256 = QStringLiteral("ab");
    manifest.pictures.append(saved);
    if (!error.isEmpty()) {
        ManifestEntry failed;
        failed.number = 1;
        failed.address = QStringLiteral("http://img.example/b.jpg");
        failed.error = error;
        manifest.pictures.append(failed);
    }
    return manifest;
}

} // namespace

// Only a folder whose record is whole counts as saved, by either address; a failure or junk does not.
TEST(ItemManifest, OnlyWholeRecordsCountAsSaved)
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    for (const char *name : {"whole", "failed", "broken"})
        root.mkdir(QString::fromLatin1(name));
    ASSERT_TRUE(
        writeManifest(root.filePath(QStringLiteral("whole")), record(QStringLiteral("http://s/1"), {}))
            .isEmpty());
    ASSERT_TRUE(writeManifest(root.filePath(QStringLiteral("failed")),
                              record(QStringLiteral("http://s/2"), QStringLiteral("HTTP 404")))
                    .isEmpty());
    QFile broken(root.filePath(QStringLiteral("broken/talvesk.json")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(R"({"address": "http://s/3", "pictures": [{"list": "main", "numb)");
    broken.close();

    const QHash<QString, QString> saved = completeItemFolders(dir.path());
    const QString whole = joinPath(dir.path(), QStringLiteral("whole"));
    EXPECT_EQ(saved, (QHash<QString, QString>{{QStringLiteral("http://s/1"), whole},
                                              {QStringLiteral("http://s/1&final"), whole}}));
}
