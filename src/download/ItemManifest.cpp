// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/ItemManifest.h"

#include "download/PathJoin.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <array>

namespace talvesk {

namespace {

// A record is a few hundred bytes per picture; anything far larger is not ours.
constexpr qint64 kMaxManifestBytes = 16 * 1024 * 1024;

const std::array<QLatin1String, 4> &listNames()
{
    static const std::array<QLatin1String, 4> names{QLatin1String("main"), QLatin1String("colour"),
                                                    QLatin1String("description"), QLatin1String("video")};
    return names;
}

// One value as JSON writes it.
QByteArray jsonText(const QJsonValue &value)
{
    const QByteArray inArray = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return inArray.mid(1, inArray.size() - 2);
}

QByteArray orNull(const QString &value)
{
    return jsonText(value.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value));
}

QByteArray entryJson(const ManifestEntry &entry)
{
    QList<QByteArray> fields{
        "\"list\": " + jsonText(listNames()[static_cast<std::size_t>(entry.list)]),
        "\"number\": " + QByteArray::number(entry.number),
        "\"address\": " + jsonText(entry.address),
        "\"file\": " + orNull(entry.file),
        "\"bytes\": " +
            (entry.saved() ? QByteArray::number(entry.bytes) : jsonText(QJsonValue(QJsonValue::Null))),
        "\"sha256\": " + (entry.saved() ? jsonText(entry.sha256) : jsonText(QJsonValue(QJsonValue::Null))),
    };
    if (entry.list == PictureKind::Colour)
        fields.append("\"name\": " + jsonText(entry.name));
    if (!entry.saved())
        fields.append("\"error\": " + jsonText(entry.error));
    return "    {\n      " + fields.join(",\n      ") + "\n    }";
}

} // namespace

bool ItemManifest::complete() const
{
    return std::all_of(pictures.begin(), pictures.end(), [](const ManifestEntry &e) { return e.saved(); });
}

QString manifestFileName()
{
    return QStringLiteral("talvesk.json");
}

QString unknownFailure()
{
    return QStringLiteral("?");
}

// Written by hand so the keys keep the documented order; QJsonObject would sort them.
QByteArray manifestJson(const ItemManifest &manifest)
{
    QList<QByteArray> entries;
    for (const ManifestEntry &entry : manifest.pictures)
        entries.append(entryJson(entry));
    const QByteArray pictures =
        entries.isEmpty() ? QByteArrayLiteral("[]") : "[\n" + entries.join(",\n") + "\n  ]";
    return "{\n  \"address\": " + jsonText(manifest.address) +
           ",\n  \"pageAddress\": " + orNull(manifest.pageAddress) +
           ",\n  \"title\": " + jsonText(manifest.title) +
           ",\n  \"collected\": " + orNull(manifest.collected.toUTC().toString(Qt::ISODate)) +
           ",\n  \"simplified\": " + (manifest.simplified ? "true" : "false") +
           ",\n  \"pictures\": " + pictures + "\n}\n";
}

std::optional<ItemManifest> parseManifest(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError || !object.value(QLatin1String("address")).isString() ||
        !object.value(QLatin1String("pictures")).isArray())
        return std::nullopt;
    ItemManifest manifest;
    manifest.address = object.value(QLatin1String("address")).toString();
    manifest.pageAddress = object.value(QLatin1String("pageAddress")).toString();
    manifest.title = object.value(QLatin1String("title")).toString();
    manifest.collected =
        QDateTime::fromString(object.value(QLatin1String("collected")).toString(), Qt::ISODate).toUTC();
    manifest.simplified = object.value(QLatin1String("simplified")).toBool();
    for (const QJsonValue &value : object.value(QLatin1String("pictures")).toArray()) {
        const QJsonObject picture = value.toObject();
        const auto list = std::find(listNames().begin(), listNames().end(),
                                    picture.value(QLatin1String("list")).toString());
        if (list == listNames().end())
            return std::nullopt;
        ManifestEntry entry;
        entry.list = static_cast<PictureKind>(list - listNames().begin());
        entry.number = picture.value(QLatin1String("number")).toInt();
        entry.address = picture.value(QLatin1String("address")).toString();
        entry.file = picture.value(QLatin1String("file")).toString();
        entry.bytes = picture.value(QLatin1String("bytes")).toInteger();
        entry.sha256 = picture.value(QLatin1String("sha256")).toString();
        entry.name = picture.value(QLatin1String("name")).toString();
        entry.error = picture.value(QLatin1String("error")).toString();
        // An entry that says neither where it is nor why not is no saved picture.
        if (!entry.saved() && entry.error.isEmpty())
            entry.error = unknownFailure();
        manifest.pictures.append(entry);
    }
    return manifest;
}

QString writeManifest(const QString &itemFolder, const ItemManifest &manifest)
{
    QSaveFile file(joinPath(itemFolder, manifestFileName()));
    const QByteArray json = manifestJson(manifest);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        return file.errorString();
    return {};
}

std::optional<ItemManifest> readManifest(const QString &itemFolder)
{
    QFile file(joinPath(itemFolder, manifestFileName()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxManifestBytes)
        return std::nullopt;
    return parseManifest(file.readAll());
}

QHash<QString, QString> completeItemFolders(const QString &saveFolder)
{
    QHash<QString, QString> found;
    const QDir folder(saveFolder);
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString itemFolder = joinPath(saveFolder, name);
        const std::optional<ItemManifest> manifest = readManifest(itemFolder);
        if (!manifest || !manifest->complete() || manifest->pictures.isEmpty())
            continue;
        for (const QString &address : {manifest->address, manifest->pageAddress}) {
            if (!address.isEmpty() && !found.contains(address))
                found.insert(address, itemFolder);
        }
    }
    return found;
}

} // namespace talvesk
