// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CurrentLayoutPages.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace talvesk::test {

namespace {

// Class names as a CSS-module build writes them: the word, "--" and a hash of its own,
// after the module's name where the deployment prefixes it.
class ModuleNames
{
public:
    ModuleNames(const QString &deployment, bool prefixed) : m_deployment(deployment), m_prefixed(prefixed) {}

    QString operator()(const QString &module, const QString &word) const
    {
        const QByteArray digest =
            QCryptographicHash::hash((m_deployment + word).toUtf8(), QCryptographicHash::Md5)
                .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        const QString hash = QString::fromLatin1(digest.left(8)).replace(u'-', u'x');
        return (m_prefixed ? module + QStringLiteral("--") : QString()) + word + QStringLiteral("--") + hash;
    }

private:
    QString m_deployment;
    bool m_prefixed;
};

struct Pictures
{
    QString host; // protocol-relative, "//127.0.0.1:<port>"
    QString folder;

    // A seller's picture as the picture servers name it.
    QString name(const QString &stem, const QString &extension = QStringLiteral("jpg")) const
    {
        return host + folder + QStringLiteral("O1CN01") + stem + QStringLiteral("_!!2206") +
               QStringLiteral(".") + extension;
    }
    static QString fullSize(const QString &name) { return QStringLiteral("https:") + name; }
};

QString jsString(const QString &text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// Swaps in the real address of each lazy picture that comes into view, and
// renders the lower part when its place is reached, if the page keeps one back. Pictures of
// class "lazyload-idle" belong to a loader that never runs.
const char kPageScript[] = R"(<script>
(function () {
  var observer = new IntersectionObserver(function (entries) {
    entries.forEach(function (entry) {
      if (!entry.isIntersecting)
        return;
      var img = entry.target;
      observer.unobserve(img);
      img.setAttribute('src', img.getAttribute('data-src'));
      if (img.hasAttribute('data-forget'))
        img.removeAttribute('data-src');
    });
  });
  function watch(root) {
    root.querySelectorAll('img.lazyload[data-src]').forEach(function (img) { observer.observe(img); });
  }
  var root = document.getElementById('%1');
  root.innerHTML = %2;
  watch(root);
  var lower = %3;
  var sentinel = document.getElementById('lower-sentinel');
  if (!sentinel)
    return;
  var reached = new IntersectionObserver(function (entries) {
    if (!entries[0].isIntersecting)
      return;
    reached.disconnect();
    sentinel.insertAdjacentHTML('afterend', lower);
    watch(sentinel.parentNode);
  });
  reached.observe(sentinel);
})();
</script>)";

} // namespace

ItemPageMarkup currentLayoutPage(quint16 port, const QString &path, Generation generation,
                                 Marketplace marketplace, const DescriptionPlace &place,
                                 const QStringList &videosInData)
{
    const bool iceContainer = generation == Generation::IceContainer;
    const bool tmall = marketplace == Marketplace::Tmall;
    const QString deployment = path;
    // The earlier generation's Taobao build prefixes module names, its Tmall build does not.
    const ModuleNames css(deployment, !iceContainer && !tmall);
    const ModuleNames prefixedCss(deployment, true);
    const Pictures pics{QStringLiteral("//127.0.0.1:%1").arg(port),
                        QStringLiteral("/pics/now/%1/").arg(QString::number(qHash(path), 16))};
    const QString thumbnailSuffix =
        iceContainer ? QStringLiteral("_q50.jpg_.webp") : QStringLiteral("_110x10000Q75.jpg_.webp");
    const QString variantSuffix =
        iceContainer ? QStringLiteral("_.webp") : QStringLiteral("_60x60q50.jpg_.webp");
    const QString placeholder = pics.host + QStringLiteral("/pics/s.gif");
    const QString spaceball = pics.host + QStringLiteral("/pics/spaceball.gif");

    const QStringList main{pics.name(QStringLiteral("m1")),
                           pics.name(QStringLiteral("m2"), QStringLiteral("png")),
                           pics.name(QStringLiteral("m3")), pics.name(QStringLiteral("m4"))};
    const QStringList colours{pics.name(QStringLiteral("c1")),
                              pics.name(QStringLiteral("c2"), QStringLiteral("png")),
                              pics.name(QStringLiteral("c3"))};
    const QStringList descriptions{pics.name(QStringLiteral("d1")),
                                   pics.name(QStringLiteral("d2")),
                                   pics.name(QStringLiteral("d3"), QStringLiteral("gif")),
                                   pics.name(QStringLiteral("d4")),
                                   pics.name(QStringLiteral("d5")),
                                   pics.name(QStringLiteral("d6"))};
    const QString banner =
        pics.host + pics.folder + QStringLiteral("O1CN01ban_!!6000000002486-2-tps-750-195.png");
    const QString logo = pics.host + QStringLiteral("/pics/O1CN01logo_!!6000000004-2-tps-200-60.png");
    const QString shopLogo = pics.name(QStringLiteral("shop"), QStringLiteral("png"));

    ItemPageMarkup page;
    const QString name = QStringLiteral("2026新款/夏季 连衣裙");
    const QString suffix = tmall ? QStringLiteral("-tmall.com天猫") : QStringLiteral("-淘宝网");
    page.item.url = QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
    page.item.title = name + suffix;
    page.item.itemTitle = QStringLiteral("2026新款夏季 连衣裙") + suffix;
    for (const QString &address : main)
        page.item.mainPictures.append(Pictures::fullSize(address));
    for (const QString &address : colours)
        page.item.colourPictures.append(Pictures::fullSize(address));
    page.item.colourNames = {QStringLiteral("红色"), QStringLiteral("蓝色"), QStringLiteral("黑色")};
    for (const QString &address : descriptions) {
        if (place.inPage)
            page.item.descriptionPictures.append(Pictures::fullSize(address));
    }

    // The header: the site's logo, the shop's, the title.
    QString upper =
        QStringLiteral("<div class=\"%1\"><img class=\"%2\" src=\"%3\"><img class=\"%4\" src=\"%5\">")
            .arg(css(QStringLiteral("ShopHeader"), QStringLiteral("root")),
                 css(QStringLiteral("ShopHeader"), QStringLiteral("logo")), logo,
                 iceContainer ? css(QStringLiteral("ShopHeader"), QStringLiteral("shopIconImg"))
                              : css(QStringLiteral("ShopHeader"), QStringLiteral("pic")),
                 shopLogo);
    upper += iceContainer ? QStringLiteral("<span class=\"%1\" title=\"%2\">%2</span></div>\n")
                                .arg(css(QStringLiteral("ItemTitle"), QStringLiteral("mainTitle")), name)
                          : QStringLiteral("<h1 class=\"%1\">%2</h1></div>\n")
                                .arg(css(QStringLiteral("ItemHeader"), QStringLiteral("mainTitle")), name);

    // The gallery: the big picture and its zoom repeat the first thumbnail; a video.
    const QString bigPicture = main.at(0) + QStringLiteral("_960x960q90.jpg_.webp");
    const QString video = QStringLiteral("<video src=\"%1/video/item.mp4\" poster=\"%2\"></video>")
                              .arg(pics.host, main.at(1) + thumbnailSuffix);
    if (iceContainer) {
        upper += QStringLiteral(
                     "<div id=\"picGalleryEle\" class=\"%1\"><div class=\"%2\"><img id=\"mainPicImageEl\" "
                     "class=\"%3\" src=\"%4\"><div class=\"%5\" style=\"display:none;background-image:"
                     "url(%6)\"></div></div>%7<div class=\"%8\">")
                     .arg(css(QStringLiteral("PicGallery"), QStringLiteral("picGallery")),
                          css(QStringLiteral("PicGallery"), QStringLiteral("mainPicWrap")),
                          css(QStringLiteral("PicGallery"), QStringLiteral("mainPic")), bigPicture,
                          css(QStringLiteral("PicGallery"), QStringLiteral("zoomPic")),
                          QStringLiteral("https:") + main.at(0), video,
                          css(QStringLiteral("PicGallery"), QStringLiteral("thumbnail")));
        for (const QString &address : main)
            upper += QStringLiteral("<div class=\"%1\"><img class=\"%2\" src=\"%3\"></div>")
                         .arg(css(QStringLiteral("PicGallery"), QStringLiteral("thumbnailItem")),
                              css(QStringLiteral("PicGallery"), QStringLiteral("thumbnailPic")),
                              address + thumbnailSuffix);
        upper += QStringLiteral("</div></div>\n");
    } else {
        upper +=
            QStringLiteral("<div class=\"%1\"><div class=\"%2\"><img src=\"%3\"></div>%4<ul class=\"%5\">")
                .arg(css(QStringLiteral("PicGallery"), QStringLiteral("root")),
                     css(QStringLiteral("PicGallery"), QStringLiteral("mainPic")), bigPicture, video,
                     css(QStringLiteral("PicGallery"), QStringLiteral("thumbnails")));
        for (const QString &address : main)
            upper += QStringLiteral("<li class=\"%1\"><img class=\"%2\" src=\"%3\"></li>")
                         .arg(css(QStringLiteral("PicGallery"), QStringLiteral("thumbnail")),
                              css(QStringLiteral("PicGallery"), QStringLiteral("thumbnailPic")),
                              address + thumbnailSuffix);
        upper += QStringLiteral("</ul></div>\n");
    }

    // Variants: colours with pictures (two sharing one, one with text only), then sizes.
    const auto variant = [&](const QString &picture, const QString &text) {
        if (iceContainer) {
            const QString img =
                picture.isEmpty()
                    ? QString()
                    : QStringLiteral("<div class=\"%1\"><img class=\"%2\" src=\"%3\"></div>")
                          .arg(css(QStringLiteral("SkuOptions"), QStringLiteral("valueItemImgWrap")),
                               css(QStringLiteral("SkuOptions"), QStringLiteral("valueItemImg")),
                               QStringLiteral("https:") + picture + variantSuffix);
            return QStringLiteral(
                       "<div class=\"%1\" data-vid=\"%2\">%3<span class=\"%4\" title=\"%5\">%5</span></div>")
                .arg(css(QStringLiteral("SkuOptions"), QStringLiteral("valueItem")),
                     QString::number(qHash(text)), img,
                     css(QStringLiteral("SkuOptions"), QStringLiteral("valueItemText")), text);
        }
        if (!tmall) {
            const QString img =
                picture.isEmpty()
                    ? QString()
                    : QStringLiteral("<img class=\"skuIcon\" src=\"%1\">").arg(picture + variantSuffix);
            return QStringLiteral("<div class=\"skuItem\">%1<span class=\"skuValueName\">%2</span></div>")
                .arg(img, text);
        }
        const QString img =
            picture.isEmpty() ? QString() : QStringLiteral("<img src=\"%1\">").arg(picture + variantSuffix);
        return QStringLiteral("<div class=\"%1\">%2<span class=\"%3\" title=\"%4\">%4</span></div>")
            .arg(prefixedCss(QStringLiteral("SkuContent"), QStringLiteral("valueItem")), img,
                 prefixedCss(QStringLiteral("SkuContent"), QStringLiteral("valueItemText")), text);
    };
    const QString skuGroup = css(QStringLiteral("SkuOptions"), QStringLiteral("skuItem"));
    upper += (iceContainer ? QStringLiteral("<div id=\"skuOptionsArea\">") : QStringLiteral("<div>")) +
             QStringLiteral("<div class=\"%1\"><span>颜色分类</span>").arg(skuGroup) +
             variant(colours.at(0), QStringLiteral("红色")) + variant(colours.at(1), QStringLiteral("蓝色")) +
             variant(QString(), QStringLiteral("米白")) + variant(colours.at(0), QStringLiteral("红色加绒")) +
             variant(colours.at(2), QStringLiteral("黑色")) +
             QStringLiteral("</div><div class=\"%1\"><span>尺码</span>").arg(skuGroup) +
             variant(QString(), QStringLiteral("S")) + variant(QString(), QStringLiteral("M")) +
             QStringLiteral("</div></div>\n");
    // The item's parameters, as tall as a view, in the lower tabs.
    upper += QStringLiteral("<div class=\"%1\" style=\"height:400px\">参数信息</div>\n")
                 .arg(css(QStringLiteral("Tabs"), QStringLiteral("params")));

    // The description: single pictures waiting for the loader (one forgets its address once
    // shown), a repeat, a seller's rich text whose loader never runs, an anchor, a banner.
    const auto lazy = [&](const QString &address, const QString &extra = {}) {
        return QStringLiteral(
                   "<div class=\"descV8-singleImage\"><img class=\"descV8-singleImage-image lazyload\" "
                   "src=\"%1\" data-src=\"%2\"%3></div>")
            .arg(placeholder, address, extra);
    };
    QString description =
        QStringLiteral("<div class=\"desc-root\"><div class=\"descV8-container\">") +
        QStringLiteral("<img class=\"desc_anchor\" src=\"%1\">").arg(spaceball) + lazy(descriptions.at(0)) +
        lazy(descriptions.at(1), QStringLiteral(" data-forget")) + lazy(descriptions.at(2)) +
        QStringLiteral("<div class=\"descV8-singleImage\"><img class=\"descV8-singleImage-image\" "
                       "src=\"%1\"></div>")
            .arg(banner) +
        QStringLiteral("<div class=\"descV8-richtext\"><p><img class=\"lazyload-idle\" src=\"%1\" "
                       "data-src=\"%2\"><img src=\"%3\"><img class=\"lazyload-idle\" src=\"%1\" "
                       "data-src=\"https:%4\"></p></div>")
            .arg(spaceball, descriptions.at(3), descriptions.at(2), descriptions.at(4)) +
        lazy(descriptions.at(5)) + QStringLiteral("</div></div>");

    // Below it: reviews' photos, recommendations and a footer badge, none of them the item's.
    const QString lowerNoise =
        QStringLiteral("<div class=\"%1\"><div class=\"%2\"><img class=\"%3\" src=\"%4\"></div></div>"
                       "<div class=\"%5\"><h3>看了又看</h3><img src=\"%6\"><img src=\"%7\"></div>"
                       "<div class=\"footer\"><img src=\"%8\"></div>")
            .arg(css(QStringLiteral("Comment"), QStringLiteral("root")),
                 css(QStringLiteral("Comment"), QStringLiteral("album")),
                 css(QStringLiteral("Comment"), QStringLiteral("photo")),
                 pics.name(QStringLiteral("review")) + QStringLiteral("_q50.jpg_.webp"),
                 css(QStringLiteral("RecommendInfo"), QStringLiteral("root")),
                 pics.name(QStringLiteral("other1")) + thumbnailSuffix,
                 pics.name(QStringLiteral("other2")) + thumbnailSuffix,
                 pics.host + QStringLiteral("/pics/O1CN01badge_!!6000000007-2-tps-100-40.png"));

    if (!place.inPage)
        description.clear();
    QString lower;
    if (iceContainer) {
        // Kept back until its place is reached, inside the lower tabs.
        upper +=
            QStringLiteral("<div class=\"%1\"><div id=\"lower-sentinel\" style=\"height:1px\"></div></div>")
                .arg(css(QStringLiteral("Tabs"), QStringLiteral("tabs")));
        lower = QStringLiteral("<div id=\"imageTextInfo-content\"><h2>图文详情</h2>") + description +
                QStringLiteral("</div>") + lowerNoise;
    } else {
        upper += description + lowerNoise;
    }

    const QString rootId = iceContainer ? QStringLiteral("ice-container") : QStringLiteral("root");
    // The data names the gallery at full size and the variants with their pictures, as the
    // page draws them.
    QJsonArray gallery;
    for (const QString &address : main)
        gallery.append(address);
    QJsonObject item{{QStringLiteral("itemId"), QStringLiteral("1")}, {QStringLiteral("images"), gallery}};
    if (!videosInData.isEmpty()) {
        QJsonArray videos;
        for (const QString &named : videosInData)
            videos.append(QJsonObject{{QStringLiteral("url"), named}});
        item.insert(QStringLiteral("videos"), videos);
    }
    const auto value = [](const QString &valueName, const QString &picture = {}) {
        QJsonObject entry{{QStringLiteral("name"), valueName}};
        if (!picture.isEmpty())
            entry.insert(QStringLiteral("image"), QStringLiteral("https:") + picture);
        return entry;
    };
    const QJsonObject skuBase{
        {QStringLiteral("props"),
         QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("颜色分类")},
                                {QStringLiteral("values"),
                                 QJsonArray{value(QStringLiteral("红色"), colours.at(0)),
                                            value(QStringLiteral("蓝色"), colours.at(1)),
                                            value(QStringLiteral("米白")),
                                            value(QStringLiteral("红色加绒"), colours.at(0)),
                                            value(QStringLiteral("黑色"), colours.at(2))}}},
                    QJsonObject{{QStringLiteral("name"), QStringLiteral("尺码")},
                                {QStringLiteral("values"),
                                 QJsonArray{value(QStringLiteral("S")), value(QStringLiteral("M"))}}}}}};
    QString forgeries;
    if (!place.namedInData.isEmpty()) {
        item.insert(QStringLiteral("pcADescUrl"), place.namedInData);
        // What the page's scripts may do to whoever trusts their world: other data, functions
        // that answer falsely or never, and elements that shadow the document's properties.
        forgeries = QStringLiteral(
            R"js(<form name="querySelectorAll"></form><img name="baseURI" alt=""><form name="body"></form>
<script>
window.__ICE_APP_CONTEXT__ = {loaderData: {home: {data: {res: {item: {pcADescUrl: "javascript:alert(1)"}}}}}};
Object.defineProperty(window, "__ICE_APP_CONTEXT__", {get: function () { for (;;) {} }});
Document.prototype.getElementsByTagName = function () { return []; };
Node.prototype.cloneNode = function () { for (;;) {} };
JSON.parse = function () { return {descUrl: "file:///etc/passwd"}; };
String.prototype.indexOf = function () { return -1; };
</script>
)js");
    }
    const QJsonObject data =
        iceContainer
            ? QJsonObject{{QStringLiteral("loaderData"),
                           QJsonObject{{QStringLiteral("home"),
                                        QJsonObject{{QStringLiteral("data"),
                                                     QJsonObject{{QStringLiteral("res"),
                                                                  QJsonObject{{QStringLiteral("item"), item},
                                                                              {QStringLiteral("skuBase"),
                                                                               skuBase}}}}}}}}}}
            : QJsonObject{{QStringLiteral("item"), item}};
    const QString dataScript =
        QStringLiteral("<script>window.%1 = %2;</script>\n")
            .arg(iceContainer ? QStringLiteral("__ICE_APP_CONTEXT__") : QStringLiteral("__INITIAL_DATA__"),
                 QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact)));
    page.markup =
        QStringLiteral(
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title><style>"
            "body{margin:0;font:14px sans-serif} img{width:40px;height:40px} li{display:inline-block}"
            " [class*=mainPic] img,img[class*=mainPic]{width:200px;height:200px}"
            " .desc-root img{display:block;width:750px;height:30px} video{width:60px;height:40px}"
            "</style></head>\n<body>\n<div id=\"%2\"></div>\n")
            .arg(page.item.title, rootId) +
        dataScript + QString::fromUtf8(kPageScript).arg(rootId, jsString(upper), jsString(lower)) +
        forgeries + QStringLiteral("\n</body></html>\n");
    return page;
}

ItemPageMarkup tallCurrentLayoutPage(quint16 port, const QString &path, int heightPx, int pictureCount)
{
    const ModuleNames css(path, false);
    const Pictures pics{QStringLiteral("//127.0.0.1:%1").arg(port), QStringLiteral("/pics/tall-now/")};
    ItemPageMarkup page;
    page.item.url = QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
    page.item.title = QStringLiteral("长页面样品-tmall.com天猫");
    page.item.itemTitle = page.item.title;

    constexpr int kThumbnails = 4;
    constexpr int kGalleryPx = 100;
    QString upper = QStringLiteral("<div id=\"picGalleryEle\" style=\"height:%1px\"><div class=\"%2\">")
                        .arg(kGalleryPx)
                        .arg(css(QString(), QStringLiteral("thumbnail")));
    for (int i = 1; i <= kThumbnails; ++i) {
        const QString address = pics.name(QStringLiteral("m%1").arg(i));
        page.item.mainPictures.append(Pictures::fullSize(address));
        upper += QStringLiteral("<img class=\"%1\" src=\"%2_q50.jpg_.webp\">")
                     .arg(css(QString(), QStringLiteral("thumbnailPic")), address);
    }
    upper += QStringLiteral("</div></div><div class=\"desc-root\"><div class=\"descV8-container\">");
    const int placePx = (heightPx - kGalleryPx) / pictureCount;
    for (int i = 1; i <= pictureCount; ++i) {
        const QString address = pics.name(QStringLiteral("d%1").arg(i));
        page.item.descriptionPictures.append(Pictures::fullSize(address));
        const int height = i == pictureCount ? heightPx - kGalleryPx - placePx * (pictureCount - 1) : placePx;
        upper += QStringLiteral(
                     "<img class=\"lazyload\" style=\"display:block;height:%1px\" src=\"%2/pics/s.gif\" "
                     "data-src=\"%3\">")
                     .arg(height)
                     .arg(pics.host, address);
    }
    upper += QStringLiteral("</div></div>");
    page.markup =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title><style>"
                       "body{margin:0} img{width:40px;height:40px}</style></head>\n<body>\n"
                       "<div id=\"ice-container\"></div>\n")
            .arg(page.item.title) +
        QString::fromUtf8(kPageScript)
            .arg(QStringLiteral("ice-container"), jsString(upper), jsString(QString())) +
        QStringLiteral("\n</body></html>\n");
    return page;
}

DescriptionDocument descriptionDocument(quint16 port, const QString &path, DescriptionForm form)
{
    const Pictures pics{QStringLiteral("//127.0.0.1:%1").arg(port),
                        QStringLiteral("/pics/desc/%1/").arg(QString::number(qHash(path), 16))};
    DescriptionDocument document;
    QStringList addresses;
    for (int i = 1; i <= 5; ++i)
        addresses.append(
            pics.name(QStringLiteral("dd%1").arg(i), i == 3 ? QStringLiteral("png") : QStringLiteral("jpg")));
    for (const QString &address : std::as_const(addresses))
        document.pictures.append(Pictures::fullSize(address));
    // At the end the platform's standard price note and an older platform picture; a picture
    // that is never shown, and a repeat.
    const QString priceNote = pics.host + QStringLiteral("/pics/O1CN01price_!!6000000000-2-tps-750-300.png");
    const QString oldPlatform = QStringLiteral("http://127.0.0.1:%1/tfs/TB1xyzAbc-750-200.png").arg(port);
    const QString hidden = pics.name(QStringLiteral("template"));
    const QString spaceball = pics.host + QStringLiteral("/pics/spaceball.gif");

    QString body;
    if (form == DescriptionForm::ScriptModules) {
        QJsonArray modules;
        for (const QString &address : std::as_const(addresses))
            modules.append(address);
        modules.append(addresses.at(1));
        // A module gets its picture only once it nears the view: a reader that did not scroll
        // the document, or whose page did not render, finds none.
        body = QStringLiteral(R"js(<div id="app"></div><img style="display:none" src="%1">
<script>
(function () {
  var shown = new IntersectionObserver(function (entries) {
    entries.forEach(function (entry) {
      if (!entry.isIntersecting)
        return;
      shown.unobserve(entry.target);
      var img = document.createElement("img");
      img.src = entry.target.getAttribute("data-picture");
      entry.target.appendChild(img);
    });
  });
  var app = document.getElementById("app");
  %2.forEach(function (address) {
    var module = document.createElement("div");
    module.className = "module";
    module.style.height = "400px";
    module.setAttribute("data-picture", address);
    app.appendChild(module);
    shown.observe(module);
  });
  app.insertAdjacentHTML("beforeend", '<div class="module"><img src="%3"></div>');
})();
</script>)js")
                   .arg(hidden, QString::fromUtf8(QJsonDocument(modules).toJson(QJsonDocument::Compact)),
                        priceNote);
    } else {
        body =
            QStringLiteral("<div class=\"content\"><p><img class=\"desc_anchor\" src=\"%1\">").arg(spaceball);
        for (const QString &address : std::as_const(addresses))
            body += QStringLiteral("<img align=\"absmiddle\" src=\"%1\" data-ks-lazyload=\"%2\">")
                        .arg(spaceball, address);
        body += QStringLiteral("</p><p><img src=\"%1\"></p></div>").arg(oldPlatform) +
                QStringLiteral(R"js(<script>
(function () {
  function load() {
    document.querySelectorAll("img[data-ks-lazyload]").forEach(function (img) {
      if (img.getBoundingClientRect().top < innerHeight + 100) {
        img.src = img.getAttribute("data-ks-lazyload");
        img.removeAttribute("data-ks-lazyload");
      }
    });
  }
  addEventListener("scroll", load);
  load();
})();
</script>)js");
    }
    document.markup =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>描述</title><style>"
                       "body{margin:0} img{display:block;width:750px;height:400px}</style></head>\n"
                       "<body>\n") +
        body + QStringLiteral("\n</body></html>\n");
    return document;
}

QString dataPage(quint16 port, const QStringList &drawn, const QStringList &named, const QString &document)
{
    const QString host = QStringLiteral("//127.0.0.1:%1/pics/").arg(port);
    QString gallery;
    for (const QString &name : drawn)
        gallery += QStringLiteral("<div class=\"thumbnailItem--a1\"><img class=\"thumbnailPic--a2\" "
                                  "src=\"%1%2.jpg_q50.jpg_.webp\"></div>")
                       .arg(host, name);
    QJsonArray images;
    for (const QString &name : named)
        images.append(host + name + QStringLiteral(".jpg"));
    QJsonObject item{{QStringLiteral("itemId"), QStringLiteral("7")}, {QStringLiteral("images"), images}};
    if (!document.isEmpty())
        item.insert(QStringLiteral("pcADescUrl"), document);
    const QJsonObject variants{
        {QStringLiteral("props"),
         QJsonArray{
             QJsonObject{{QStringLiteral("name"), QStringLiteral("颜色分类")},
                         {QStringLiteral("values"),
                          QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("雾蓝")},
                                                 {QStringLiteral("image"), QStringLiteral("https:") + host +
                                                                               QStringLiteral("v1.jpg")}},
                                     QJsonObject{{QStringLiteral("name"), QStringLiteral("S")}}}}}}}};
    const QJsonObject context{
        {QStringLiteral("appData"), QJsonObject()},
        {QStringLiteral("loaderData"),
         QJsonObject{{QStringLiteral("item-pc"),
                      QJsonObject{{QStringLiteral("data"),
                                   QJsonObject{{QStringLiteral("res"),
                                                QJsonObject{{QStringLiteral("item"), item},
                                                            {QStringLiteral("skuBase"), variants}}}}}}}}}};
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>连衣裙-淘宝网</title></head>"
               "<body><div id=\"ice-container\"><div id=\"picGalleryEle\"><div class=\"thumbnail--a0\">%1"
               "</div></div><div id=\"skuOptionsArea\"><div class=\"valueItem--b1\" data-vid=\"1\">"
               "<span class=\"valueItemText--b4\" title=\"S\">S</span></div></div></div>"
               "<script>var b = %2;\nwindow.__ICE_APP_CONTEXT__ = b;</script></body></html>")
        .arg(gallery, QString::fromUtf8(QJsonDocument(context).toJson(QJsonDocument::Compact)));
}

QStringList dataPagePictures(quint16 port, const QStringList &names)
{
    QStringList addresses;
    for (const QString &name : names)
        addresses.append(QStringLiteral("https://127.0.0.1:%1/pics/%2.jpg").arg(port).arg(name));
    return addresses;
}

ItemPageMarkup routeItemWithMissingDescription(SampleShop &shop)
{
    shop.server().route(QStringLiteral("/desc/gone.html"),
                        HttpResponse::withStatus(404, "<html><body>not found</body></html>"));
    const QString path = QStringLiteral("/missing/item.htm");
    ItemPageMarkup page = currentLayoutPage(shop.port(), path, Generation::IceContainer, Marketplace::Tmall,
                                            {false, QStringLiteral("/desc/gone.html")});
    shop.server().route(path, HttpResponse::html(page.markup));
    return page;
}

void routeTrapThenNextItem(SampleShop &shop)
{
    const quint16 port = shop.port();
    const QStringList one{QStringLiteral("g1")};
    shop.server().route(
        QStringLiteral("/desc/trap.html"),
        HttpResponse::html(QStringLiteral("<img src=\"//127.0.0.1:%1/pics/d1.jpg\"><script>"
                                          "addEventListener('pagehide', function () { for (;;) {} "
                                          "});</script>")
                               .arg(port)));
    shop.server().route(
        QStringLiteral("/desc/next.html"),
        HttpResponse::html(QStringLiteral("<img src=\"//127.0.0.1:%1/pics/d2.jpg\">").arg(port)));
    for (const QString &name : {QStringLiteral("trap"), QStringLiteral("next")})
        shop.server().route(
            QStringLiteral("/%1/item.htm").arg(name),
            HttpResponse::html(dataPage(port, one, one, QStringLiteral("/desc/%1.html").arg(name))));
}

} // namespace talvesk::test
