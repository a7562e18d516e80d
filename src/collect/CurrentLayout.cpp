// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CurrentLayout.h"

#include "collect/FullSizeAddress.h"

#include <QSet>
#include <QUrl>

#include <optional>

namespace talvesk {

namespace {

// The answers' places in selectors().
enum Area : qsizetype { Thumbnails, BigPicture, Variants, Description, DescriptionTab, AreaCount };

// An element whose class holds the word, plain or as a module name with or without the
// module's prefix: "word", "word--hash", "Module--word--hash".
QStringList classWord(const QString &word)
{
    return {QStringLiteral(".%1").arg(word), QStringLiteral("[class^=\"%1--\"]").arg(word),
            QStringLiteral("[class*=\" %1--\"]").arg(word), QStringLiteral("[class*=\"--%1--\"]").arg(word)};
}

// before + each form of each word + after, as one selector list.
QString eachWord(const QString &before, const QStringList &words, const QString &after)
{
    QStringList alternatives;
    for (const QString &word : words) {
        for (const QString &form : classWord(word))
            alternatives.append(before + form + after);
    }
    return alternatives.join(u',');
}

QString fileNameOf(const QString &address)
{
    const QString path = QUrl(address).path();
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// What a lazy loader shows until the picture comes near: an inline image, or a tiny
// transparent one.
bool isPlaceholder(const QString &address)
{
    if (address.trimmed().isEmpty() || address.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return true;
    const QString name = fileNameOf(fullSizeAddress(address)).toLower();
    static const QStringList placeholders{QStringLiteral("s.gif"), QStringLiteral("spaceball.gif"),
                                          QStringLiteral("blank.gif")};
    return placeholders.contains(name) || name.endsWith(QLatin1String("-1-1.gif")) ||
           name.endsWith(QLatin1String("-1-1.png"));
}

// Banners, badges and icons the platform puts on every page are named "…-tps-<w>-<h>.<ext>".
bool isPlatformAsset(const QString &address)
{
    return fileNameOf(address).contains(QLatin1String("-tps-"));
}

// The full-size address of one picture element, or none when it holds no picture.
std::optional<QString> pictureAddress(const PageImage &image, const QUrl &base)
{
    const QString &written = isPlaceholder(image.lazySource) ? image.source : image.lazySource;
    if (isPlaceholder(written))
        return std::nullopt;
    QString address = fullSizeAddress(written);
    QUrl url(address);
    if (url.isRelative()) {
        url = base.resolved(url);
        address = url.toString();
    }
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::nullopt;
    if (isPlatformAsset(address))
        return std::nullopt;
    return address;
}

void fillList(const QList<PageImage> &images, const QUrl &base, PictureList &list)
{
    QSet<QString> seen;
    int slot = 0;
    for (const PageImage &image : images) {
        const std::optional<QString> address = pictureAddress(image, base);
        if (!address || seen.contains(*address))
            continue;
        seen.insert(*address);
        if (slot == PictureList::kSlots) {
            list.markOverflowed();
            return;
        }
        list[slot++] = *address;
    }
}

const QList<PageImage> &answerFor(const PageImages &images, Area area)
{
    static const QList<PageImage> none;
    return area < images.sets.size() ? images.sets.at(area) : none;
}

} // namespace

QStringList CurrentLayout::selectors()
{
    QStringList selectors(AreaCount);
    selectors[Thumbnails] = eachWord(QStringLiteral("img"), {QStringLiteral("thumbnailPic")}, QString());
    selectors[BigPicture] = QStringLiteral("img#mainPicImageEl,") +
                            eachWord(QStringLiteral("img"), {QStringLiteral("mainPic")}, QString()) + u',' +
                            eachWord(QString(), {QStringLiteral("mainPic")}, QStringLiteral(" img"));
    selectors[Variants] = eachWord(QString(), {QStringLiteral("skuItem"), QStringLiteral("valueItem")},
                                   QStringLiteral(" img")) +
                          u',' +
                          eachWord(QStringLiteral("img"),
                                   {QStringLiteral("skuIcon"), QStringLiteral("valueItemImg")}, QString());
    selectors[Description] =
        QStringLiteral(".desc-root img:not(.desc_anchor),.descV8-container img:not(.desc_anchor)");
    selectors[DescriptionTab] = QStringLiteral("#imageTextInfo-content img:not(.desc_anchor)");
    return selectors;
}

QStringList CurrentLayout::lazyAddressAttributes()
{
    return {QStringLiteral("data-src"), QStringLiteral("data-ks-lazyload")};
}

void CurrentLayout::fill(const PageImages &images, CollectedSet &set)
{
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    const QUrl &base = images.baseUrl;
    fillList(answerFor(images, Thumbnails), base, set.mainPictures);
    if (countPictures(set.mainPictures) == 0)
        fillList(answerFor(images, BigPicture), base, set.mainPictures);
    fillList(answerFor(images, Variants), base, set.colourPictures);
    fillList(answerFor(images, Description), base, set.descriptionPictures);
    if (countPictures(set.descriptionPictures) == 0)
        fillList(answerFor(images, DescriptionTab), base, set.descriptionPictures);
}

} // namespace talvesk
