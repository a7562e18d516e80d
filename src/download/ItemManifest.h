// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace talvesk {

// The lists of a set, in the order they are saved.
enum class PictureKind { Main, Colour, Description, Video };

// One picture (or video) chosen for a download, as the item folder's record lists it.
struct ManifestEntry
{
    PictureKind list = PictureKind::Main;
    int number = 0; // as in its file's name
    QString address;
    QString file; // relative to the item folder, with "/"; empty when it was not saved
    qint64 bytes = 0;
    QString sha256; // lower-case hex, of the file as written
    QString name;   // Colour: the variant's name, "" where unknown
    QString error;  // not saved: why
    // Where the file goes (absolute, native); kept in memory only, for a retry.
    QString target = {};

    bool saved() const { return !file.isEmpty(); }
};

// What an item folder holds and where it came from: talvesk.json.
struct ItemManifest
{
    QString address;     // as given
    QString pageAddress; // the item page's, once loaded
    QString title;
    QDateTime collected; // UTC
    bool simplified = false;
    QList<ManifestEntry> pictures; // main, colour, description, video

    // Every entry saved.
    bool complete() const;
};

QString manifestFileName();
// An entry's error when why is not known: a record that says nothing of a picture not saved,
// or a download given no words for its failures.
QString unknownFailure();

// UTF-8, indented, keys in the documented order.
QByteArray manifestJson(const ItemManifest &manifest);
// Nullopt when the text is not such a record.
std::optional<ItemManifest> parseManifest(const QByteArray &json);
// Replaces the item folder's record whole or not at all; empty when written, else why not.
QString writeManifest(const QString &itemFolder, const ItemManifest &manifest);
std::optional<ItemManifest> readManifest(const QString &itemFolder);

// The item folders directly in saveFolder whose record is complete, by the addresses it
// names (the address as given and the page's).
QHash<QString, QString> completeItemFolders(const QString &saveFolder);

} // namespace talvesk
