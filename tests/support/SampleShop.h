// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A marketplace of sample item pages on 127.0.0.1, for end-to-end tests and benchmarks.
//
//   SampleShop shop;
//   const SampleItem item = shop.taobaoItem();
//   browser.navigate(item.url.toString());
//   ... collect ...
//   EXPECT_EQ(mainPictures, item.mainPictures);
//
// Item pages come in both layouts: "detail" (main thumbnails) with "J_isku" (colour
// swatches) and "description", or "J_DetailMeta" (Tmall thumbnails and swatches) with
// "description". Their description pictures enter the markup only when their place is
// scrolled into view, as on the real marketplace, told by an IntersectionObserver unless a
// page asks for a throttled scroll listener; a page's view must therefore be shown (a hidden
// page gets no scroll events). The two item pages also hold a block of description pictures
// whose lazy loader never runs (placeholder src, real address in data-ks-lazyload), and
// swatch styles both as the page wrote them and as Chromium re-serialises them after a
// script touched them. Every address is protocol-relative on 127.0.0.1,
// which the extraction rules make "http:" addresses. Everything under /pics/ is a real
// picture, PNG for ".png" paths and JPEG otherwise, with bytes unique to the path.

#include "support/LocalHttpServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace talvesk::test {

// How a page notices that a place has come into view.
enum class LazyLoader {
    IntersectionObserver,
    ThrottledScroll, // checks on scroll events, at most every 100 ms
};

struct SampleItem
{
    QUrl url;
    QString title;     // the page's title element text
    QString itemTitle; // the title cleaned for use as a folder name
    // The full-size picture addresses that a collect finds, in slot order.
    QStringList mainPictures;
    QStringList colourPictures;
    QStringList colourNames; // the variants' names, beside colourPictures
    QStringList descriptionPictures;
};

class SampleShop final
{
public:
    SampleShop();

    LocalHttpServer &server() { return m_server; }
    quint16 port() const { return m_server.port(); }

    // "detail" with five main thumbnails and "J_isku" with four swatches, then six lazily
    // shown description pictures (one of them PNG) below a tall gap and three more left to
    // the lazy loader.
    SampleItem taobaoItem() const;
    // "J_DetailMeta" with four main thumbnails and three swatches (and a PNG one that is no
    // colour picture), then five lazy description pictures and three left to the lazy loader.
    SampleItem tmallItem() const;
    // Two main thumbnails and a description that grows by a block of two more lazy pictures
    // whenever the view nears its end, four times: ten description pictures in the end.
    SampleItem growingItem() const;
    // The growing item, but its scroll handler only sets a timer, which grows the page after
    // 50 ms of busy work: the growth comes well after the scroll that asked for it. Copies
    // differ only in their address.
    SampleItem lateGrowingItem(int copy);
    // A page exactly heightPx high holding only a description of pictureCount lazy pictures,
    // evenly spaced.
    SampleItem tallItem(int heightPx, int pictureCount, LazyLoader loader = LazyLoader::IntersectionObserver);

    // An item page whose load never finishes: one of its pictures never arrives.
    QUrl neverFinishingPage() const;
    // An item page in the first layout without a title element.
    QUrl untitledPage() const;

    // What the shop serves for a path under /pics/.
    static QByteArray pictureBytes(const QString &path);

private:
    LocalHttpServer m_server;
};

} // namespace talvesk::test
