// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CurrentLayout.h"

#include "collect/PagePictures.h"

namespace talvesk {

namespace {

// The answers' places in selectors().
enum Area : qsizetype { Thumbnails, BigPicture, Variants, Description, DescriptionTab, Structure, AreaCount };

// An element whose class holds the word, plain or as a module name with or without the
// module's prefix: "word", "word--hash", "Module--word--hash".
QStringList classWord(const QString &word)
{
    return {QStringLiteral(".%1").arg(word), QStringLiteral("[class^=\"%1--\"]").arg(word),
            QStringLiteral("[class*=\" %1--\"]").arg(word), QStringLiteral("[class*=\"--%1--\"]").arg(word)};
}

// An element of a CSS module of this name: "Module--word--hash".
QStringList moduleElement(const QString &module)
{
    return {QStringLiteral("[class^=\"%1--\"]").arg(module),
            QStringLiteral("[class*=\" %1--\"]").arg(module)};
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
    // A gallery or a variants area that today's front ends build, holding a picture: by ids and
    // modules of theirs, or thumbnails of the hashed form inside a thumbnail list of that form.
    QStringList containers{QStringLiteral("#picGalleryEle"), QStringLiteral("#skuOptionsArea")};
    for (const QString &module : {QStringLiteral("PicGallery"), QStringLiteral("SkuContent")})
        containers.append(moduleElement(module));
    QStringList structure;
    for (const QString &container : std::as_const(containers))
        structure.append(container + QStringLiteral(" img"));
    const QStringList hashedThumbnails = classWord(QStringLiteral("thumbnailPic")).mid(1);
    for (const QString &list : classWord(QStringLiteral("thumbnails")).mid(1)) {
        for (const QString &thumbnail : hashedThumbnails)
            structure.append(list + QStringLiteral(" img") + thumbnail);
    }
    selectors[Structure] = structure.join(u',');
    return selectors;
}

QStringList CurrentLayout::lazyAddressAttributes()
{
    return {QStringLiteral("data-src"), QStringLiteral("data-ks-lazyload")};
}

QString CurrentLayout::descriptionContainers()
{
    return QStringLiteral(".desc-root,.descV8-container");
}

QString CurrentLayout::variantContainers()
{
    return eachWord(QString(), {QStringLiteral("skuItem"), QStringLiteral("valueItem")}, QString());
}

QString CurrentLayout::variantNames()
{
    return eachWord(QString(), {QStringLiteral("skuValueName"), QStringLiteral("valueItemText")}, QString());
}

bool CurrentLayout::hasItsStructure(const PageImages &images)
{
    return !answerFor(images, Structure).isEmpty();
}

void CurrentLayout::fill(const PageImages &images, CollectedSet &set)
{
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    const QUrl &base = images.baseUrl;
    fillWithPictures(answerFor(images, Thumbnails), base, set.mainPictures);
    if (set.mainPictures.size() == 0)
        fillWithPictures(answerFor(images, BigPicture), base, set.mainPictures);
    set.colourNames.clear();
    fillWithPictures(answerFor(images, Variants), base, set.colourPictures, &set.colourNames);
    fillWithPictures(answerFor(images, Description), base, set.descriptionPictures);
    if (set.descriptionPictures.size() == 0)
        fillWithPictures(answerFor(images, DescriptionTab), base, set.descriptionPictures);
}

} // namespace talvesk
