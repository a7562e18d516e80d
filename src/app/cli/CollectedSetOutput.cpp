// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CollectedSetOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace talvesk {

namespace {

void appendSection(QString &out, const QString &heading, const PictureList &list)
{
    const QStringList addresses = list.addresses();
    out += QStringLiteral("  %1 (%2):\n").arg(heading).arg(addresses.size());
    for (const QString &address : addresses)
        out += QStringLiteral("    %1\n").arg(address);
}

} // namespace

QString collectedSetJson(const QString &address, const CollectedSet &set)
{
    // Keys in a fixed, readable order; QJsonObject would sort them.
    const auto json = [](const QJsonArray &array) {
        return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    };
    const auto text = [&json](const QString &value) {
        const QString inArray = json(QJsonArray{value});
        return inArray.mid(1, inArray.size() - 2);
    };
    const auto list = [&json](const PictureList &pictures) {
        return json(QJsonArray::fromStringList(pictures.addresses()));
    };
    QStringList colourNames;
    for (int slot = 0; slot < set.colourPictures.size(); ++slot)
        colourNames.append(colourNameAt(set, slot));
    return QStringLiteral(
               R"({"address":%1,"title":%2,"main":%3,"colour":%4,"colourNames":%5,"description":%6,"video":%7})")
        .arg(text(address), text(set.itemTitle), list(set.mainPictures), list(set.colourPictures),
             json(QJsonArray::fromStringList(colourNames)), list(set.descriptionPictures),
             json(QJsonArray::fromStringList(set.videos)));
}

QString collectedSetListing(const QString &address, const CollectedSet &set)
{
    QString out = QStringLiteral("%1\n  title: %2\n").arg(address, set.itemTitle);
    appendSection(out, QStringLiteral("main"), set.mainPictures);
    appendSection(out, QStringLiteral("colour"), set.colourPictures);
    appendSection(out, QStringLiteral("description"), set.descriptionPictures);
    if (!set.videos.isEmpty()) {
        out += QStringLiteral("  video (%1):\n").arg(set.videos.size());
        for (const QString &video : set.videos)
            out += QStringLiteral("    %1\n").arg(video);
    }
    return out;
}

} // namespace talvesk
