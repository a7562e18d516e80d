// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"
#include "platform/PageDocument.h"

#include <QStringList>

namespace talvesk {

// The item pages the marketplace's scripts render: a gallery of thumbnails, a variants area and
// a description. Their class names are CSS-module names, a stable word, "--" and a hash that
// changes with every deployment ("thumbnailPic--QasTmWDm"), sometimes after the module's own
// name ("PicGallery--thumbnailPic--QasTmWDm"); they are matched by the word alone.
//
// The page is read by the selectors below, in one round trip:
// - main pictures: img elements of class word thumbnailPic, in their order; a gallery without
//   thumbnails gives its big picture (#mainPicImageEl, class word mainPic) instead;
// - colour pictures: the img elements of the variant values (class words skuItem, valueItem;
//   skuIcon, valueItemImg), in their order; a value without a picture gives nothing;
// - description pictures: the img elements under .desc-root or .descV8-container, in document
//   order, anchors (.desc_anchor) left out; where neither exists, those of #imageTextInfo-content.
// Pictures named as the platform's own are left out everywhere. Nothing else on the page is read, so logos,
// icons, reviews, recommendations, the zoom element and the video never come into it.
class CurrentLayout
{
public:
    static QStringList selectors();
    // Where a lazy loader keeps a picture's real address until it shows the picture.
    static QStringList lazyAddressAttributes();
    // The elements that hold a description drawn in the page.
    static QString descriptionContainers();
    // Where a drawn variant's name is: its value item, and the text element in it.
    static QString variantContainers();
    static QString variantNames();

    // Whether the page's answer shows a gallery or a variants area of today's form: the
    // structure of such a page, not merely a picture with one of its class words.
    static bool hasItsStructure(const PageImages &images);

    // Fills the three lists (cleared first) from the page's answer to selectors(): each picture
    // at its full-size address, once per list, a lazy one at its real address, placeholders
    // and the platform's own assets left out; each colour picture with its drawn variant's name.
    static void fill(const PageImages &images, CollectedSet &set);
};

} // namespace talvesk
