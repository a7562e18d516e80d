#include "app/cli/CollectedSetOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace talvesk {

namespace {

QStringList usedSlots(const PicList &list)
{
    QStringList addresses;
    const int count = countPicUrl(list);
    for (int i = 0; i < count; ++i)
        addresses.append(list[i]);
    return addresses;
}

void appendSection(QString &out, const QString &heading, const PicList &list)
{
    const QStringList addresses = usedSlots(list);
    out += QStringLiteral("  %1 (%2):\n").arg(heading).arg(addresses.size());
    for (const QString &address : addresses)
        out += QStringLiteral("    %1\n").arg(address);
}

} // namespace

QString collectedSetJson(const QString &address, const CollectedSet &set)
{
    QJsonObject object;
    object.insert(QStringLiteral("address"), address);
    object.insert(QStringLiteral("title"), set.itemTitle);
    object.insert(QStringLiteral("main"), QJsonArray::fromStringList(usedSlots(set.mpicUrls)));
    object.insert(QStringLiteral("colour"), QJsonArray::fromStringList(usedSlots(set.colorPicUrls)));
    object.insert(QStringLiteral("description"), QJsonArray::fromStringList(usedSlots(set.descPicUrls)));
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString collectedSetListing(const QString &address, const CollectedSet &set)
{
    QString out = QStringLiteral("%1\n  title: %2\n").arg(address, set.itemTitle);
    appendSection(out, QStringLiteral("main"), set.mpicUrls);
    appendSection(out, QStringLiteral("colour"), set.colorPicUrls);
    appendSection(out, QStringLiteral("description"), set.descPicUrls);
    return out;
}

} // namespace talvesk
