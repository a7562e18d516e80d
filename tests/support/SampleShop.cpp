// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SampleShop.h"

#include <QtEndian>

namespace talvesk::test {

namespace {

// A 16x16 grey baseline JPEG as small as one goes: flat quantisation and Huffman tables of one
// code each, so that every block is a zero difference and an end of block.
QByteArray jpeg()
{
    const QByteArray oneCode = QByteArray::fromHex("01") + QByteArray(16, '\0');
    return QByteArray::fromHex("ffd8ffdb004300") + QByteArray(64, '\1') +
           QByteArray::fromHex("ffc0000b080010001001011100ffc4001400") + oneCode +
           QByteArray::fromHex("ffc4001410") + oneCode + QByteArray::fromHex("ffda0008010100003f0000ffd9");
}

// A 16x16 gradient as PNG.
constexpr unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x91, 0x68,
    0x36, 0x00, 0x00, 0x00, 0x09, 0x70, 0x48, 0x59, 0x73, 0x00, 0x00, 0x0e, 0xc4, 0x00, 0x00, 0x0e,
    0xc4, 0x01, 0x95, 0x2b, 0x0e, 0x1b, 0x00, 0x00, 0x00, 0x1d, 0x49, 0x44, 0x41, 0x54, 0x28, 0x91,
    0x63, 0x64, 0x60, 0x68, 0x10, 0x60, 0x60, 0x20, 0x1e, 0xb1, 0x30, 0x08, 0x30, 0x90, 0x04, 0x46,
    0x35, 0x8c, 0x6a, 0x18, 0x3a, 0x1a, 0x00, 0x1e, 0x0a, 0x02, 0x9e, 0x1e, 0x1e, 0x3c, 0x5b, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};

// Shows each description picture once its place has come into view, told by one of the
// loaders below, and lets a description with data-grow append blocks of further places when
// the view nears the end.
const char kLazyScript[] = R"(<script>
(function () {
  function show(place) {
    if (place.firstChild)
      return;
    var img = document.createElement('img');
    img.setAttribute('src', place.getAttribute('data-pic'));
    place.appendChild(img);
  }
%1
  function nearEnd() { return scrollY + innerHeight >= document.body.scrollHeight - 300; }
  function grow() {
    var description = document.getElementById('description');
    var left = Number(description.getAttribute('data-grow') || 0);
    if (left <= 0 || !nearEnd())
      return;
    description.setAttribute('data-grow', left - 1);
    var next = Number(description.getAttribute('data-next'));
    for (var k = 0; k < 2; ++k, ++next) {
      var place = document.createElement('div');
      place.className = 'place';
      place.setAttribute('data-pic', description.getAttribute('data-base') + next + '.jpg');
      description.appendChild(place);
      watch(place);
    }
    description.setAttribute('data-next', next);
  }
  var description = document.getElementById('description');
  if (description && description.hasAttribute('data-grow-late')) {
    // The handler only sets a timer; the growth waits for it and for 50 ms of work.
    var pending = 0;
    addEventListener('scroll', function () {
      if (!pending && nearEnd())
        pending = setTimeout(function () {
          for (var end = Date.now() + 50; Date.now() < end;) {}
          pending = 0;
          grow();
        }, 0);
    });
  } else {
    addEventListener('scroll', grow);
  }
  var places = document.querySelectorAll('[data-pic]');
  for (var i = 0; i < places.length; ++i)
    watch(places[i]);
})();
</script>)";

// Told by the browser when a place starts to intersect the view.
const char kObserverLoader[] = R"(  var observer = new IntersectionObserver(function (entries) {
    for (var i = 0; i < entries.length; ++i) {
      if (entries[i].isIntersecting) {
        observer.unobserve(entries[i].target);
        show(entries[i].target);
      }
    }
  });
  function watch(place) { observer.observe(place); })";

// Listens to scroll events and checks, at most every 100 ms and once more after the last
// event, which places the view has reached: each one whose top is above its bottom edge.
const char kThrottledScrollLoader[] = R"(  var lastCheck = 0, pending = 0;
  function check() {
    pending = 0;
    lastCheck = Date.now();
    var places = document.querySelectorAll('[data-pic]');
    for (var i = 0; i < places.length; ++i) {
      if (places[i].getBoundingClientRect().top < innerHeight)
        show(places[i]);
    }
  }
  function watch() {}
  addEventListener('scroll', function () {
    if (!pending)
      pending = setTimeout(check, Math.max(0, lastCheck + 100 - Date.now()));
  });
  check();)";

// Item pages are as short as their tests allow: the gap keeps the description below the
// tallest view a test uses (the command line's 900 px window), and each description place is
// short, so a collect scrolls about 2,000 px rather than 5,000 (a pass moves 5 px).
QString page(const QString &titleElement, const QString &body,
             LazyLoader loader = LazyLoader::IntersectionObserver)
{
    const char *loaderScript =
        loader == LazyLoader::IntersectionObserver ? kObserverLoader : kThrottledScrollLoader;
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">") + titleElement +
           QStringLiteral("<style>body{margin:0;font:14px sans-serif} .place{height:150px;overflow:hidden}"
                          " .gap{height:1000px}</style></head>\n<body>\n") +
           body + QString::fromUtf8(kLazyScript).arg(QString::fromUtf8(loaderScript)) +
           QStringLiteral("\n</body></html>\n");
}

QString titleElement(const QString &title)
{
    return QStringLiteral("<title>") + title + QStringLiteral("</title>");
}

QString descriptionPlace(const QString &address, int height = 0)
{
    const QString style = height > 0 ? QStringLiteral(" style=\"height:%1px\"").arg(height) : QString();
    return QStringLiteral("<div class=\"place\" data-pic=\"%1\"%2></div>\n").arg(address, style);
}

// Description pictures whose lazy loader never runs: two still show the shared placeholder,
// one (given with its scheme) the loader had already swapped in.
QString lazyDescriptionBlock(const QString &spacer, const QStringList &addresses)
{
    return QStringLiteral("<div class=\"lazy\"><img src=\"%1\" data-ks-lazyload=\"%2\" width=\"750\" "
                          "height=\"420\"><img src=\"%1\" data-ks-lazyload=\"http:%3\"><img src=\"%4\" "
                          "data-ks-lazyload=\"%4\"></div>\n")
        .arg(spacer, addresses.at(0), addresses.at(1), addresses.at(2));
}

QString http(const QString &protocolRelative)
{
    return QStringLiteral("http:") + protocolRelative;
}

// Swatches as Chromium serialises them: the page's own text (with and without a space),
// one in a template's raw text (the form the colour rules were first written for), and one
// re-serialised from its style object because a script marks it selected.
QString taobaoBody(const QStringList &main, const QStringList &colours, const QStringList &descriptions,
                   const QString &spacer)
{
    QString body =
        QStringLiteral("<div class=\"header\">样品商城</div>\n<div id=\"detail\">\n<ul class=\"thumbs\">\n");
    for (const QString &address : main)
        body +=
            QStringLiteral("<li><img data-src=\"%1_50x50.jpg\" src=\"%1_50x50.jpg\"></li>\n").arg(address);
    body += QStringLiteral(
                "</ul>\n<div id=\"J_isku\"><ul class=\"sku\">\n"
                "<li><a href=\"#\" style=\"background:url(%1_30x30.jpg) center no-repeat;\">"
                "<span>颜色</span></a></li>\n"
                "<li><a href=\"#\" style=\"background: url(%2_30x30.jpg) center no-repeat;\">"
                "<span>颜色</span></a></li>\n</ul>\n<script type=\"text/template\">\n"
                "<a href=\"#\" style='background: url(\"%3_30x30.jpg\") center no-repeat;'>"
                "<span>颜色</span></a>\n</script>\n<ul class=\"sku\">"
                "<li><a href=\"#\" class=\"selected\" style=\"background:url(%4_30x30.jpg) center "
                "no-repeat;\"><span>颜色</span></a></li></ul>\n</div>\n</div>\n"
                "<script>document.querySelector('#J_isku .selected').style.borderColor = '#f40';</script>\n")
                .arg(colours.at(0), colours.at(1), colours.at(2), colours.at(3));
    body += QStringLiteral("<div class=\"gap\"></div>\n<div id=\"description\">\n");
    for (const QString &address : descriptions.mid(0, descriptions.size() - 3))
        body += descriptionPlace(address);
    return body + lazyDescriptionBlock(spacer, descriptions.mid(descriptions.size() - 3)) +
           QStringLiteral("</div>\n");
}

QStringList absolute(const QStringList &protocolRelative)
{
    QStringList addresses;
    for (const QString &address : protocolRelative)
        addresses.append(http(address));
    return addresses;
}

QByteArray withJpegComment(const QString &text)
{
    const QByteArray comment = text.toUtf8().left(60000);
    QByteArray bytes = jpeg();
    QByteArray segment("\xff\xfe", 2);
    const int length = static_cast<int>(comment.size()) + 2;
    segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xff)).append(comment);
    return bytes.insert(2, segment); // right after the start-of-image marker
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray withPngComment(const QString &text)
{
    QByteArray bytes(reinterpret_cast<const char *>(kPng), sizeof kPng);
    const QByteArray chunk = QByteArray("tEXtComment") + '\0' + text.toLatin1();
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(chunk.size() - 4), framed.data());
    framed += chunk;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(chunk), crc.data());
    framed += crc;
    return bytes.insert(bytes.size() - 12, framed); // before the closing IEND chunk
}

struct ItemPage
{
    SampleItem item;
    QString markup;
};

QString host(quint16 port)
{
    return QStringLiteral("//127.0.0.1:%1").arg(port);
}

QString spacer(quint16 port)
{
    return host(port) + QStringLiteral("/pics/tps/spacer-85-85.gif");
}

QStringList numbered(const QString &prefix, int count, const QString &pngAt = {})
{
    QStringList addresses;
    for (int i = 1; i <= count; ++i) {
        const QString name = QString::number(i);
        addresses.append(prefix + name + (name == pngAt ? QStringLiteral(".png") : QStringLiteral(".jpg")));
    }
    return addresses;
}

ItemPage taobaoPage(quint16 port, const QString &path, bool titled)
{
    const QString pics = host(port) + QStringLiteral("/pics/tb/");
    const QStringList main = numbered(pics + QStringLiteral("main"), 5);
    const QStringList colours = numbered(pics + QStringLiteral("colour"), 4);
    const QStringList descriptions = numbered(pics + QStringLiteral("desc"), 9, QStringLiteral("3"));

    ItemPage result;
    result.item.url = QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
    if (titled) {
        result.item.title = QStringLiteral("女装/连衣裙:夏季新款*样品");
        result.item.itemTitle = QStringLiteral("女装连衣裙夏季新款样品");
    }
    result.item.mainPictures = absolute(main);
    result.item.colourPictures = absolute(colours);
    result.item.descriptionPictures = absolute(descriptions);
    result.markup = page(titled ? titleElement(result.item.title) : QString(),
                         taobaoBody(main, colours, descriptions, spacer(port)));
    return result;
}

ItemPage tmallPage(quint16 port)
{
    const QString pics = host(port) + QStringLiteral("/pics/tm/");
    const QStringList main = numbered(pics + QStringLiteral("main"), 4);
    const QStringList colours = numbered(pics + QStringLiteral("colour"), 3);
    const QStringList descriptions = numbered(pics + QStringLiteral("desc"), 8, QStringLiteral("2"));

    // One line of swatches: the page's own text, a PNG base (no colour picture), one styled by
    // a script (re-serialised by Chromium) and the upper-case form the rule was written for.
    // The PNG swatch's upper-case opening would run on into the next swatch.
    QString body = QStringLiteral("<div id=\"J_DetailMeta\">\n<ul id=\"J_UlThumb\">\n");
    for (const QString &address : main)
        body += QStringLiteral("<li><img src=\"%1_60x60q90.jpg\"></li>\n").arg(address);
    body += QStringLiteral("</ul>\n<ul class=\"tb-sku\">"
                           "<li><a href=\"#\" style=\"background:url(%1_40x40q90.jpg) center no-repeat;\">"
                           "<span>颜色</span></a></li>"
                           "<li><a href=\"#\" style=\"BACKGROUND:url(%2png_40x40q90.jpg) center no-repeat;\">"
                           "<span>颜色</span></a></li>"
                           "<li><a href=\"#\" id=\"restyled\"><span>颜色</span></a></li>"
                           "<li><a href=\"#\" style=\"BACKGROUND: url(%3_40x40q90.jpg) center no-repeat;\">"
                           "<span>颜色</span></a></li></ul>\n</div>\n"
                           "<script>document.getElementById('restyled').style.background = "
                           "'url(%4_40x40q90.jpg) center no-repeat';</script>\n")
                .arg(colours.at(0), pics + QStringLiteral("colour."), colours.at(2), colours.at(1));
    body += QStringLiteral("<div class=\"gap\"></div>\n<div id=\"description\">\n");
    for (const QString &address : descriptions.mid(0, descriptions.size() - 3))
        body += descriptionPlace(address);
    body += lazyDescriptionBlock(spacer(port), descriptions.mid(descriptions.size() - 3));
    body += QStringLiteral("</div>\n");

    ItemPage result;
    result.item.url = QUrl(QStringLiteral("http://127.0.0.1:%1/tmall/item.htm").arg(port));
    result.item.title = QStringLiteral("天猫|样品<旗舰店>");
    result.item.itemTitle = QStringLiteral("天猫样品旗舰店");
    result.item.mainPictures = absolute(main);
    result.item.colourPictures = absolute(colours);
    result.item.descriptionPictures = absolute(descriptions);
    result.markup = page(titleElement(result.item.title), body);
    return result;
}

ItemPage growingPage(quint16 port, const QString &path, bool late)
{
    constexpr int kGrowths = 4;
    const QString pics = host(port) + QStringLiteral("/pics/grow/");
    const QStringList main = numbered(pics + QStringLiteral("main"), 2);
    const QStringList descriptions = numbered(pics + QStringLiteral("desc"), 2 + 2 * kGrowths);

    QString body = QStringLiteral("<div id=\"detail\">\n");
    for (const QString &address : main)
        body += QStringLiteral("<img data-src=\"%1_50x50.jpg\">\n").arg(address);
    body += QStringLiteral("</div>\n<div class=\"gap\"></div>\n<div id=\"description\" data-grow=\"%1\" "
                           "data-next=\"3\" data-base=\"%2desc\"%3>\n")
                .arg(kGrowths)
                .arg(pics, late ? QStringLiteral(" data-grow-late") : QString());
    for (const QString &address : descriptions.mid(0, 2))
        body += descriptionPlace(address);
    body += QStringLiteral("</div>\n");

    ItemPage result;
    result.item.url = QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
    result.item.title = QStringLiteral("越滚越长的样品");
    result.item.itemTitle = result.item.title;
    result.item.mainPictures = absolute(main);
    result.item.descriptionPictures = absolute(descriptions);
    result.markup = page(titleElement(result.item.title), body);
    return result;
}

ItemPage tallPage(quint16 port, int heightPx, int pictureCount, LazyLoader loader)
{
    const QString pics = host(port) + QStringLiteral("/pics/tall/");
    const QStringList descriptions = numbered(pics + QStringLiteral("desc"), pictureCount);
    const int placeHeight = heightPx / pictureCount;

    QString body = QStringLiteral("<div id=\"description\">\n");
    for (int i = 0; i < pictureCount; ++i) {
        const bool last = i == pictureCount - 1;
        body += descriptionPlace(descriptions[i],
                                 last ? heightPx - placeHeight * (pictureCount - 1) : placeHeight);
    }
    body += QStringLiteral("</div>\n");

    ItemPage result;
    const QString loaderName =
        loader == LazyLoader::IntersectionObserver ? QStringLiteral("observer") : QStringLiteral("scroll");
    result.item.url = QUrl(QStringLiteral("http://127.0.0.1:%1/tall/%2-%3-%4.htm")
                               .arg(port)
                               .arg(heightPx)
                               .arg(pictureCount)
                               .arg(loaderName));
    result.item.title = QStringLiteral("长页面样品");
    result.item.itemTitle = result.item.title;
    result.item.descriptionPictures = absolute(descriptions);
    result.markup = page(titleElement(result.item.title), body, loader);
    return result;
}

QString neverFinishingMarkup(quint16 port)
{
    return page(titleElement(QStringLiteral("永远载入中")),
                QStringLiteral("<div id=\"detail\"><img data-src=\"%1/pics/never/main1.jpg_50x50.jpg\" "
                               "src=\"/pics/hang.jpg\"></div>\n")
                    .arg(host(port)));
}

} // namespace

SampleShop::SampleShop()
{
    m_server.setFallback([](const HttpRequest &request) {
        const QString path = QString::fromUtf8(request.path);
        if (!path.startsWith(QStringLiteral("/pics/")))
            return HttpResponse::withStatus(404, "<html><body>no such page</body></html>");
        const QByteArray type = path.endsWith(QStringLiteral(".png")) ? "image/png" : "image/jpeg";
        return HttpResponse::ok(pictureBytes(path), type);
    });
    m_server.route(QStringLiteral("/pics/hang.jpg"),
                   HttpResponse::ok(pictureBytes(QStringLiteral("/pics/hang.jpg")), "image/jpeg")
                       .sendingOnly(0, HttpResponse::Ending::Hang));

    const quint16 p = port();
    for (const ItemPage &item : {taobaoPage(p, QStringLiteral("/taobao/item.htm"), true), tmallPage(p),
                                 growingPage(p, QStringLiteral("/growing/item.htm"), false),
                                 taobaoPage(p, QStringLiteral("/untitled/item.htm"), false)})
        m_server.route(item.item.url.path(), HttpResponse::html(item.markup));
    m_server.route(neverFinishingPage().path(), HttpResponse::html(neverFinishingMarkup(p)));
}

SampleItem SampleShop::taobaoItem() const
{
    return taobaoPage(port(), QStringLiteral("/taobao/item.htm"), true).item;
}

SampleItem SampleShop::tmallItem() const
{
    return tmallPage(port()).item;
}

SampleItem SampleShop::growingItem() const
{
    return growingPage(port(), QStringLiteral("/growing/item.htm"), false).item;
}

SampleItem SampleShop::lateGrowingItem(int copy)
{
    const ItemPage item = growingPage(port(), QStringLiteral("/growing/late-%1.htm").arg(copy), true);
    m_server.route(item.item.url.path(), HttpResponse::html(item.markup));
    return item.item;
}

SampleItem SampleShop::tallItem(int heightPx, int pictureCount, LazyLoader loader)
{
    const ItemPage item = tallPage(port(), heightPx, pictureCount, loader);
    m_server.route(item.item.url.path(), HttpResponse::html(item.markup));
    return item.item;
}

QUrl SampleShop::neverFinishingPage() const
{
    return m_server.url(QStringLiteral("/never/item.htm"));
}

QUrl SampleShop::untitledPage() const
{
    return m_server.url(QStringLiteral("/untitled/item.htm"));
}

QByteArray SampleShop::pictureBytes(const QString &path)
{
    return path.endsWith(QStringLiteral(".png")) ? withPngComment(path) : withJpegComment(path);
}

} // namespace talvesk::test
