// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/PagePictures.h"

#include "collect/CleanAddress.h"
#include "collect/FullSizeAddress.h"

#include <QRegularExpression>
#include <QSet>

namespace talvesk {

namespace {

QString fileNameOf(const QUrl &url)
{
    const QString path = url.path();
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// What a lazy loader shows until the picture comes near: an inline image, or a tiny
// transparent one.
bool isPlaceholder(const QString &address)
{
    if (address.isEmpty() || address.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return true;
    const QString name = fileNameOf(QUrl(fullSizeAddress(address))).toLower();
    static const QStringList placeholders{QStringLiteral("s.gif"), QStringLiteral("spaceball.gif"),
                                          QStringLiteral("blank.gif")};
    return placeholders.contains(name) || name.endsWith(QLatin1String("-1-1.gif")) ||
           name.endsWith(QLatin1String("-1-1.png"));
}

// Banners, badges, icons and notes that the platform puts on every page: the newer ones named
// "…-tps-<w>-<h>.<ext>", the older ones "/tfs/TB1…-<w>-<h>.<ext>" directly under /tfs/.
bool isPlatformPicture(const QUrl &url)
{
    if (fileNameOf(url).contains(QLatin1String("-tps-")))
        return true;
    static const QRegularExpression platformFolder(QStringLiteral("^/tfs/[^/]+$"));
    return platformFolder.match(url.path()).hasMatch();
}

} // namespace

QString pictureAddress(const PageImage &image, const QUrl &base)
{
    const QString lazy = cleanedAddress(image.lazySource);
    const QString written = isPlaceholder(lazy) ? cleanedAddress(image.source) : lazy;
    if (isPlaceholder(written))
        return {};
    QString address = fullSizeAddress(written);
    QUrl url(address);
    if (url.isRelative()) {
        url = base.resolved(url);
        address = url.toString();
    }
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return {};
    if (isPlatformPicture(url))
        return {};
    return address;
}

QString pictureIdentity(const QString &address)
{
    QUrl url(address);
    url.setScheme(QString());
    if (url.host() == QLatin1String("gw.alicdn.com"))
        url.setHost(QStringLiteral("img.alicdn.com"));
    return url.toString();
}

void fillWithPictures(const QList<PageImage> &images, const QUrl &base, PictureList &list, QStringList *names)
{
    QSet<QString> seen;
    int place = 0;
    for (const PageImage &image : images) {
        const QString address = pictureAddress(image, base);
        if (address.isEmpty() || seen.contains(address))
            continue;
        seen.insert(address);
        if (!list.put(place++, address))
            return;
        if (names)
            names->append(image.label);
    }
}

} // namespace talvesk
