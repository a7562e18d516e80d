// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtPageDocument.h"

#include "platform/qt/QtPageBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace talvesk {

namespace {

// body.scrollHeight, or null without a body. Through the prototypes: an element the page names
// "body" would shadow document.body.
QString bodyHeight()
{
    return QStringLiteral("(function () { var body = Object.getOwnPropertyDescriptor(Document.prototype, "
                          "\"body\").get.call(document); return body ? Object.getOwnPropertyDescriptor("
                          "Element.prototype, \"scrollHeight\").get.call(body) : null; })()");
}

// A value as a JavaScript literal; JSON text is valid JavaScript.
QString jsLiteral(const QJsonValue &value)
{
    const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// A number the page answered (pixels, a count), rounded to a whole one.
std::optional<int> wholeNumber(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return qRound(number);
}

// The list the page answered, when it has exactly this many entries; empty otherwise.
QVariantList listOf(const QVariant &value, qsizetype size)
{
    if (value.typeId() != QMetaType::QVariantList)
        return {};
    QVariantList list = value.toList();
    return list.size() == size ? list : QVariantList();
}

// Rows of [src, lazy address], as imageRows() in the page writes them.
QList<PageImage> imagesOf(const QVariant &rows)
{
    QList<PageImage> images;
    for (const QVariant &row : rows.toList()) {
        const QVariantList sources = row.toList();
        images.append(
            {sources.value(0).toString(), sources.value(1).toString(), sources.value(2).toString()});
    }
    return images;
}

// What every read builds on. The scripts run in a world of their own, so the page's scripts
// cannot replace the functions they call; the document's named elements can still shadow its
// properties (a form named "querySelectorAll"), so the DOM is reached through the prototypes.
// Attribute values are returned as the markup serialises them ("&" as "&amp;"), so that
// addresses read here and addresses read from inner markup are decoded the same way.
const QString kDomPrelude =
    QStringLiteral(R"js(var D = Document.prototype, E = Element.prototype, N = Node.prototype;
function getter(proto, name) { return Object.getOwnPropertyDescriptor(proto, name).get; }
function all(root, selector) { return (root.nodeType === 9 ? D : E).querySelectorAll.call(root, selector); }
function attribute(element, name) { return E.getAttribute.call(element, name); }
function written(value) { return value ? value.replace(/&/g, "&amp;") : ""; }
function innerHtml(element) { return getter(E, "innerHTML").call(element); }
function textOf(node) { return getter(N, "textContent").call(node) || ""; }
function baseUri(node) { return getter(N, "baseURI").call(node); }
function documentUrl(doc) { return getter(D, "URL").call(doc); }
function imageGetter(name) { return getter(HTMLImageElement.prototype, name); }
function frameGetter(frame, name) {
  return getter(E.matches.call(frame, "iframe") ? HTMLIFrameElement.prototype : HTMLFrameElement.prototype, name);
}
function rendered(element) {
  if (E.getClientRects.call(element).length === 0)
    return false;
  var style = getComputedStyle(element);
  return style.visibility !== "hidden" && style.visibility !== "collapse";
}
function hasArea(element) {
  var box = E.getBoundingClientRect.call(element);
  return box.width > 0 && box.height > 0;
}
// Rendered, large enough for a person to use, and not placed outside its page.
function seenByAPerson(element) {
  if (!rendered(element))
    return false;
  var box = E.getBoundingClientRect.call(element);
  if (box.width < 10 || box.height < 10)
    return false;
  var doc = getter(N, "ownerDocument").call(element), view = getter(D, "defaultView").call(doc);
  var root = getter(D, "documentElement").call(doc);
  var x = box.left + view.scrollX, y = box.top + view.scrollY;
  var width = Math.max(getter(E, "scrollWidth").call(root), view.innerWidth);
  var height = Math.max(getter(E, "scrollHeight").call(root), view.innerHeight);
  return x + box.width > 0 && y + box.height > 0 && x < width && y < height;
}
function labelOf(element, containers, labels) {
  var container = containers ? E.closest.call(element, containers) : null;
  if (!container)
    return "";
  var label = labels ? E.querySelector.call(container, labels) : null;
  var text = label ? (attribute(label, "title") || textOf(label)) : "";
  return (text || attribute(container, "title") || "").trim();
}
function imageRows(elements, lazyAttributes, containers, labels) {
  var rows = [];
  for (var i = 0; i < elements.length; ++i) {
    var lazy = "";
    for (var k = 0; k < lazyAttributes.length && !lazy; ++k)
      lazy = attribute(elements[i], lazyAttributes[k]);
    rows.push([written(attribute(elements[i], "src")), written(lazy), labelOf(elements[i], containers, labels)]);
  }
  return rows;
}
)js");

// The reply to the page's answer: what build makes of its value (Failed when nothing), or why
// there was none.
template <typename T, typename Build>
std::function<void(PageAnswer<QVariant>)> answerWith(PageDocument::Reply<T> reply, Build build)
{
    return [reply = std::move(reply), build = std::move(build)](const PageAnswer<QVariant> &value) {
        if (!value)
            return reply(value.failure());
        std::optional<T> built = build(*value);
        reply(built ? PageAnswer<T>(std::move(*built)) : PageAnswer<T>(ReadFailure::Failed));
    };
}

} // namespace

QtPageDocument::QtPageDocument(QtPageBrowser *browser, int generation)
    : m_browser(browser), m_generation(generation)
{
}

void QtPageDocument::evaluate(const QString &script, std::function<void(PageAnswer<QVariant>)> reply)
{
    if (!m_browser) {
        QtPageBrowser::answerGoneLater(std::move(reply));
        return;
    }
    m_browser->evaluate(script, m_generation, std::move(reply));
}

void QtPageDocument::scrollToTopReadingHeight(Reply<int> reply)
{
    evaluate(QStringLiteral("window.scrollTo(0, 0); ") + bodyHeight(),
             answerWith<int>(std::move(reply), wholeNumber));
}

void QtPageDocument::scrollByReadingHeight(int x, int y, Reply<ScrolledPage> reply)
{
    evaluate(
        QStringLiteral("window.scrollBy(%1, %2); [%3, scrollY]").arg(x).arg(y).arg(bodyHeight()),
        answerWith<ScrolledPage>(std::move(reply), [](const QVariant &value) -> std::optional<ScrolledPage> {
            const QVariantList heightAndPosition = listOf(value, 2);
            const std::optional<int> height =
                heightAndPosition.isEmpty() ? std::nullopt : wholeNumber(heightAndPosition.at(0));
            if (!height)
                return std::nullopt;
            return ScrolledPage{*height, qRound(heightAndPosition.at(1).toDouble())};
        }));
}

void QtPageDocument::scrollHandling(bool restart, Reply<ScrollHandling> reply)
{
    // A frame's scroll events are dispatched right before its animation frame callbacks; a
    // handler's work deferred by a timer without delay runs before a timer set after them, and
    // the next frame's callbacks, then a timer set there, come once that work has been laid out
    // and drawn. The watch lives in this script's own world, out of the page's reach; a hidden
    // page runs no frames, and nothing is waited for there.
    static const QString script = QStringLiteral(R"((function (restart) {
  var watch = window.talveskScrollWatch;
  if (restart || !watch) {
    watch = window.talveskScrollWatch = {stage: 0};
    requestAnimationFrame(function () {
      watch.stage = 1;
      setTimeout(function () {
        requestAnimationFrame(function () {
          setTimeout(function () { watch.stage = 2; }, 0);
        });
      }, 0);
    });
  }
  return [Object.getOwnPropertyDescriptor(Document.prototype, "hidden").get.call(document) ? 2 : watch.stage, %2];
})(%1))");
    evaluate(script.arg(restart ? QStringLiteral("true") : QStringLiteral("false"), bodyHeight()),
             answerWith<ScrollHandling>(
                 std::move(reply), [](const QVariant &value) -> std::optional<ScrollHandling> {
                     const QVariantList stageAndHeight = listOf(value, 2);
                     const std::optional<int> height =
                         stageAndHeight.isEmpty() ? std::nullopt : wholeNumber(stageAndHeight.at(1));
                     if (!height)
                         return std::nullopt;
                     ScrollHandling handling;
                     handling.height = *height;
                     switch (stageAndHeight.at(0).toInt()) {
                     case 0:
                         handling.stage = ScrollHandling::Stage::Waiting;
                         break;
                     case 1:
                         handling.stage = ScrollHandling::Stage::Dispatched;
                         break;
                     default:
                         handling.stage = ScrollHandling::Stage::Handled;
                         break;
                     }
                     return handling;
                 }));
}

void QtPageDocument::readItemPage(const ItemPageQuery &query, Reply<ItemPageReading> reply)
{
    // The blocks are picked inside the page, so a page of millions of divs sends back only
    // the few the walk reads. Attribute values, not the resolved .src: a picture already
    // swapped holds the address exactly as written.
    static const QString script =
        kDomPrelude +
        QStringLiteral(
            R"js((function (blockIds, lazyId, lazyAttribute, selectors, lazyAttributes, containers, labels) {
  function divsOf(ids) {
    return ids.length ? all(document, ids.map(function (id) { return 'div[id="' + CSS.escape(id) + '"]'; }).join(",")) : [];
  }
  if (lazyId) {
    var lazyDivs = divsOf([lazyId]);
    for (var i = 0; i < lazyDivs.length; ++i) {
      var images = all(lazyDivs[i], "img");
      for (var j = 0; j < images.length; ++j) {
        var address = attribute(images[j], lazyAttribute);
        if (address && attribute(images[j], "src") !== address)
          E.setAttribute.call(images[j], "src", address);
      }
    }
  }
  var blocks = [], divs = divsOf(blockIds);
  for (var i = 0; i < divs.length; ++i)
    blocks.push([attribute(divs[i], "id"), innerHtml(divs[i])]);
  var sets = [];
  for (var i = 0; i < selectors.length; ++i)
    sets.push(imageRows(all(document, selectors[i]), lazyAttributes, containers, labels));
  return [blocks, baseUri(document), sets];
})(%1, %2, %3, %4, %5, %6, %7))js");
    evaluate(script.arg(jsLiteral(QJsonArray::fromStringList(query.blockIds)), jsLiteral(query.lazyBlockId),
                        jsLiteral(query.lazyBlockAttribute),
                        jsLiteral(QJsonArray::fromStringList(query.selectors)),
                        jsLiteral(QJsonArray::fromStringList(query.lazyAttributes)),
                        jsLiteral(query.labelContainers), jsLiteral(query.labelElements)),
             answerWith<ItemPageReading>(
                 std::move(reply), [](const QVariant &value) -> std::optional<ItemPageReading> {
                     const QVariantList answer = listOf(value, 3);
                     if (answer.isEmpty())
                         return std::nullopt;
                     ItemPageReading reading;
                     for (const QVariant &row : answer.at(0).toList()) {
                         const QVariantList pair = row.toList();
                         reading.blocks.append({pair.value(0).toString(), pair.value(1).toString()});
                     }
                     reading.images.baseUrl = QUrl(answer.at(1).toString());
                     for (const QVariant &set : answer.at(2).toList())
                         reading.images.sets.append(imagesOf(set));
                     return reading;
                 }));
}

void QtPageDocument::renderedImages(const QStringList &lazyAttributes, Reply<PageImages> reply)
{
    // A picture loaded at a single pixel without a lazy address is a counter's, not one to show.
    static const QString script = kDomPrelude + QStringLiteral(R"js((function (lazyAttributes) {
  var shown = [], images = all(document, "img");
  for (var i = 0; i < images.length; ++i) {
    var image = images[i];
    if (!rendered(image))
      continue;
    var hasLazy = lazyAttributes.some(function (name) { return !!attribute(image, name); });
    var width = imageGetter("naturalWidth").call(image), height = imageGetter("naturalHeight").call(image);
    if (!hasLazy && imageGetter("complete").call(image) && width > 0 && width <= 1 && height <= 1)
      continue;
    shown.push(image);
  }
  return [baseUri(document), imageRows(shown, lazyAttributes)];
})(%1))js");
    evaluate(script.arg(jsLiteral(QJsonArray::fromStringList(lazyAttributes))),
             answerWith<PageImages>(std::move(reply), [](const QVariant &value) -> std::optional<PageImages> {
                 const QVariantList answer = listOf(value, 2);
                 if (answer.isEmpty())
                     return std::nullopt;
                 PageImages images;
                 images.baseUrl = QUrl(answer.at(0).toString());
                 images.sets.append(imagesOf(answer.at(1)));
                 return images;
             }));
}

void QtPageDocument::shownMarks(const QStringList &selectors, const QStringList &phrases,
                                Reply<ShownMarks> reply)
{
    // Frames of the page's own origin are searched like the page; others answer with their
    // address only. The depth is bounded: frames can nest each other without end.
    static const QString script = kDomPrelude + QStringLiteral(R"js((function (selectors, phrases) {
  var shown = selectors.map(function () { return false; });
  var found = phrases.map(function () { return false; });
  var frames = [];
  function search(doc, depth) {
    for (var i = 0; i < selectors.length; ++i) {
      if (shown[i])
        continue;
      var matches = all(doc, selectors[i]);
      for (var j = 0; j < matches.length && !shown[i]; ++j)
        shown[i] = rendered(matches[j]) && hasArea(matches[j]);
    }
    // The text shown, not the scripts': a page's code may carry the phrases of a check it
    // never shows.
    var body = getter(D, "body").call(doc);
    var text = body ? getter(HTMLElement.prototype, "innerText").call(body) : "";
    for (var i = 0; i < phrases.length; ++i)
      found[i] = found[i] || text.indexOf(phrases[i]) >= 0;
    var inner = all(doc, "iframe,frame");
    for (var i = 0; i < inner.length; ++i) {
      if (!seenByAPerson(inner[i]))
        continue;
      var content = null;
      try { content = frameGetter(inner[i], "contentDocument").call(inner[i]); } catch (e) {}
      if (content && depth < 8) {
        frames.push(documentUrl(content));
        search(content, depth + 1);
      } else {
        frames.push(frameGetter(inner[i], "src").call(inner[i]));
      }
    }
  }
  search(document, 0);
  return [shown, found, frames];
})(%1, %2))js");
    evaluate(script.arg(jsLiteral(QJsonArray::fromStringList(selectors)),
                        jsLiteral(QJsonArray::fromStringList(phrases))),
             answerWith<ShownMarks>(std::move(reply), [](const QVariant &value) -> std::optional<ShownMarks> {
                 const QVariantList answer = listOf(value, 3);
                 if (answer.isEmpty())
                     return std::nullopt;
                 ShownMarks marks;
                 for (const QVariant &shown : answer.at(0).toList())
                     marks.selectorsShown.append(shown.toBool());
                 for (const QVariant &found : answer.at(1).toList())
                     marks.phrasesFound.append(found.toBool());
                 for (const QVariant &address : answer.at(2).toList())
                     marks.frameAddresses.append(QUrl(address.toString()));
                 return marks;
             }));
}

void QtPageDocument::inlineScripts(const QStringList &markers, Reply<QStringList> reply)
{
    static const QString script = kDomPrelude + QStringLiteral(R"js((function (markers) {
  var texts = [], scripts = all(document, "script:not([src])");
  for (var i = 0; i < scripts.length; ++i) {
    var text = textOf(scripts[i]);
    if (markers.some(function (marker) { return text.indexOf(marker) >= 0; }))
      texts.push(text);
  }
  return texts;
})(%1))js");
    evaluate(
        script.arg(jsLiteral(QJsonArray::fromStringList(markers))),
        answerWith<QStringList>(std::move(reply), [](const QVariant &value) -> std::optional<QStringList> {
            if (value.typeId() != QMetaType::QVariantList)
                return std::nullopt;
            return value.toStringList();
        }));
}

void QtPageDocument::firstInnerText(const QString &tagName, Reply<QString> reply)
{
    evaluate(QStringLiteral("(function (tag) { var e = "
                            "Document.prototype.getElementsByTagName.call(document, tag)[0]; return e ? "
                            "e.innerText : null; })(%1)")
                 .arg(jsLiteral(tagName)),
             answerWith<QString>(std::move(reply), [](const QVariant &value) -> std::optional<QString> {
                 if (value.typeId() != QMetaType::QString)
                     return std::nullopt;
                 return value.toString();
             }));
}

void QtPageDocument::write(const QString &markup, std::function<void(bool)> reply)
{
    evaluate(
        QStringLiteral("document.write(%1); true").arg(jsLiteral(markup)),
        [reply = std::move(reply)](const PageAnswer<QVariant> &value) { reply(value && value->toBool()); });
}

} // namespace talvesk
