// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CurrentLayout.h"
#include "collect/FullSizeAddress.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

#include <QStringList>

using talvesk::CollectedSet;
using talvesk::CurrentLayout;

using talvesk::fullSizeAddress;
using talvesk::PageImage;
using talvesk::PageImages;

TEST(FullSizeAddress, CutsTheSuffixAfterTheExtension)
{
    const struct
    {
        const char *written;
        const char *fullSize;
    } cases[] = {
        // A thumbnail form of today's pages (the others: FillsEachListOnceAtFullSize, the sample shop).
        {"//gw.alicdn.com/imgextra/i3/123/O1CN01cc_!!0-item_pic.jpg_110x10000Q75.jpg_.webp",
         "https://gw.alicdn.com/imgextra/i3/123/O1CN01cc_!!0-item_pic.jpg"},
        // A GIF, an upper-case extension, a name with "_" before its extension.
        {"//img.alicdn.com/i1/9/a_b_c.gif_400x400Q75.jpg", "https://img.alicdn.com/i1/9/a_b_c.gif"},
        {"//img.alicdn.com/i1/9/SHOUT.JPG_q90.jpg_.webp", "https://img.alicdn.com/i1/9/SHOUT.JPG"},
        {"//img.alicdn.com/i1/9/x.jpeg_Q75.jpg", "https://img.alicdn.com/i1/9/x.jpeg"},
        // Nothing to cut: a full-size address, a query, a folder that looks like a picture.
        {"https://img.alicdn.com/imgextra/i4/9/O1CN01gg_!!9.jpg",
         "https://img.alicdn.com/imgextra/i4/9/O1CN01gg_!!9.jpg"},
        {"http://img.example/p.jpg?v=1_2", "http://img.example/p.jpg?v=1_2"},
        {"//img.example/a.jpg_dir/p", "https://img.example/a.jpg_dir/p"},
        {"https://img.example", "https://img.example"},
        // Character references as the markup serialises them; a decoded "_" is cut at too.
        {"//img.example/p.png?a=1&amp;b=2", "https://img.example/p.png?a=1&b=2"},
        {"//img.example/p.png&#95;q50.jpg", "https://img.example/p.png"},
        // A relative address keeps its place for the caller to resolve.
        {"pics/p.jpg_q50.jpg_.webp", "pics/p.jpg"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fullSizeAddress(QString::fromUtf8(c.written)), QString::fromUtf8(c.fullSize)) << c.written;
}

// Each area's answers become its list: real addresses, each once, without the page's noise.
TEST(CurrentLayout, FillsEachListOnceAtFullSize)
{
    const QString host = QStringLiteral("//img.example/");
    const auto image = [&](const QString &source, const QString &lazy = {}) {
        return PageImage{
            source.isEmpty() ? QString() : host + source, lazy.isEmpty() ? QString() : host + lazy, {}};
    };
    PageImages page;
    page.baseUrl = QUrl(QStringLiteral("https://item.example/item.htm?id=1"));
    page.sets = {
        // thumbnails, repeated by a second gallery copy
        {image(QStringLiteral("m1.jpg_q50.jpg_.webp")), image(QStringLiteral("m2.jpg_q50.jpg_.webp")),
         image(QStringLiteral("m1.jpg_110x10000Q75.jpg_.webp"))},
        // the big picture
        {image(QStringLiteral("m1.jpg_q90.jpg_.webp"))},
        // variants: two sharing a picture
        {image(QStringLiteral("c1.jpg_.webp")), image(QStringLiteral("c1.jpg_90x90q30.jpg_.webp")),
         image(QStringLiteral("c2.png_.webp"))},
        // description: a loaded picture, one waiting, a placeholder alone, a banner, a repeat,
        // a relative one
        {image(QStringLiteral("d1.jpg")), image(QStringLiteral("s.gif"), QStringLiteral("d2.jpg")),
         image(QStringLiteral("spaceball.gif")),
         image(QStringLiteral("O1CN01_!!6000000002486-2-tps-750-195.png")), image(QStringLiteral("d1.jpg")),
         PageImage{QStringLiteral("/desc/d3.jpg"), {}, {}},
         PageImage{QStringLiteral("data:image/gif;base64,R0lGOD"), host + QStringLiteral("d4.jpg"), {}},
         // white space around an address and line breaks inside it, cleaned as the browser does
         PageImage{QStringLiteral("\n  //img.example/d5.jp\r\ng_q50.jpg_.webp\t "), {}, {}},
         // the platform's older pictures, directly under /tfs/
         PageImage{QStringLiteral("https://img.example/tfs/TB1abc-750-200.png?getAvatar=avatar"), {}, {}}},
        // the description tab, read only without a description root
        {image(QStringLiteral("tab.jpg"))},
    };
    CollectedSet set;
    CurrentLayout::fill(page, set);

    const auto full = [](const char *name) {
        return QStringLiteral("https://img.example/") + QLatin1String(name);
    };
    EXPECT_EQ(set.mainPictures.addresses(), QStringList({full("m1.jpg"), full("m2.jpg")}));
    EXPECT_EQ(set.colourPictures.addresses(), QStringList({full("c1.jpg"), full("c2.png")}));
    EXPECT_EQ(set.descriptionPictures.addresses(),
              QStringList({full("d1.jpg"), full("d2.jpg"), QStringLiteral("https://item.example/desc/d3.jpg"),
                           full("d4.jpg"), full("d5.jpg")}));

    page.sets[0].clear();
    page.sets[3].clear();
    CurrentLayout::fill(page, set);
    EXPECT_EQ(set.mainPictures.addresses(), QStringList{full("m1.jpg")});
    EXPECT_EQ(set.descriptionPictures.addresses(), QStringList{full("tab.jpg")});
}
