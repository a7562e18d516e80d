// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Item pages as the marketplace's scripts render them today, for the sample shop: an
// application that a script builds into an empty root, with CSS-module class names (a word and
// a hash), thumbnails at their thumbnail addresses, variants with and without pictures, a
// description whose pictures wait for a lazy loader (some for good), and the noise of a real
// page around them: logos, icons, the big and the zoom picture, a video, reviews' photos,
// recommendations, the page's data script and platform banners.

#include "support/SampleShop.h"

#include <QString>

namespace talvesk::test {

enum class Generation {
    RootApplication, // about 2022–2024: #root, PicGallery / SkuContent modules
    IceContainer,    // 2025–: #ice-container, #picGalleryEle, #skuOptionsArea
};

enum class Marketplace { Taobao, Tmall };

struct ItemPageMarkup
{
    SampleItem item;
    QString markup;
};

// Where a page's description is.
struct DescriptionPlace
{
    bool inPage = true;       // rendered in the page's lower part
    QString namedInData = {}; // the description document its data names, if any
};

// The page at path on the shop at port. A page whose description is not in it carries no
// description pictures; one whose data names a document also forges, in its own world, the
// globals and DOM functions that a reader of its data might trust.
// videosInData: the main videos' addresses its data names (item.videos[].url).
ItemPageMarkup currentLayoutPage(quint16 port, const QString &path, Generation generation,
                                 Marketplace marketplace, const DescriptionPlace &description = {},
                                 const QStringList &videosInData = {});

// A description document in one of the forms it has been seen in, about two views tall:
enum class DescriptionForm {
    ScriptModules,  // picture modules a script renders, each given its picture as it nears the view
    SellerRichText, // a seller's rich text, lazy pictures in data-ks-lazyload behind spaceball.gif
};
struct DescriptionDocument
{
    QString markup;
    QStringList pictures; // the full-size addresses a collect finds, in order
};
DescriptionDocument descriptionDocument(quint16 port, const QString &path, DescriptionForm form);

// A page of the later generation exactly heightPx high: four thumbnails, and a description of
// pictureCount pictures, evenly spaced, each shown by the lazy loader when it comes into view.
ItemPageMarkup tallCurrentLayoutPage(quint16 port, const QString &path, int heightPx, int pictureCount);

// Today's page as small as its reading needs, at the shop on port: a gallery drawing the
// pictures named drawn, one variant "雾蓝" with a picture (v1) and one without, and the data
// naming the gallery named and perhaps a description document, under a route name of its own,
// in the form the page's code assigns it. Pictures are /pics/<name>.jpg.
QString dataPage(quint16 port, const QStringList &drawn, const QStringList &named,
                 const QString &document = {});
// The full-size addresses a collect finds for those names.
QStringList dataPagePictures(quint16 port, const QStringList &names);

// Today's page at /missing/item.htm on the shop, whose data names a description document the
// shop answers with 404.
ItemPageMarkup routeItemWithMissingDescription(SampleShop &shop);
// Two of dataPage's items on the shop, each naming its own document: /trap/item.htm, whose
// document (picture d1) never returns from its handler for leaving it, and /next/item.htm
// (picture d2).
void routeTrapThenNextItem(SampleShop &shop);

} // namespace talvesk::test
