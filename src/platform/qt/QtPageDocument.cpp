// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtPageDocument.h"

#include "platform/qt/QtPageBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace talvesk {

namespace {

// A value as a JavaScript literal; JSON text is valid JavaScript.
QString jsLiteral(const QJsonValue &value)
{
    const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// A number the page answered (pixels, a count), rounded to a whole one.
std::optional<int> wholeNumber(const std::optional<QVariant> &value)
{
    if (!value || !value->isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value->toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return qRound(number);
}

} // namespace

QtPageDocument::QtPageDocument(QtPageBrowser *browser, int generation)
    : m_browser(browser), m_generation(generation)
{
}

void QtPageDocument::evaluate(const QString &script, Reply<std::optional<QVariant>> reply)
{
    if (!m_browser) {
        reply(std::nullopt);
        return;
    }
    m_browser->evaluate(script, m_generation, std::move(reply));
}

void QtPageDocument::bodyScrollHeight(Reply<std::optional<int>> reply)
{
    evaluate(QStringLiteral("document.body ? document.body.scrollHeight : null"),
             [reply = std::move(reply)](std::optional<QVariant> value) { reply(wholeNumber(value)); });
}

void QtPageDocument::scrollByReadingHeight(int x, int y, Reply<std::optional<int>> reply)
{
    const QPointer<QtPageBrowser> browser = m_browser;
    evaluate(QStringLiteral(
                 "window.scrollBy(%1, %2); [document.body ? document.body.scrollHeight : null, scrollY]")
                 .arg(x)
                 .arg(y),
             [browser, reply = std::move(reply)](std::optional<QVariant> value) {
                 if (!value || value->typeId() != QMetaType::QVariantList) {
                     reply(std::nullopt);
                     return;
                 }
                 const QVariantList heightAndPosition = value->toList();
                 if (heightAndPosition.size() != 2) {
                     reply(std::nullopt);
                     return;
                 }
                 if (browser)
                     browser->noteScrolledTo(qRound(heightAndPosition.at(1).toDouble()));
                 reply(wholeNumber(heightAndPosition.at(0)));
             });
}

void QtPageDocument::scrollHandling(bool restart, Reply<std::optional<ScrollHandling>> reply)
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
  return [document.hidden ? 2 : watch.stage, document.body ? document.body.scrollHeight : null];
})(%1))");
    evaluate(script.arg(restart ? QStringLiteral("true") : QStringLiteral("false")),
             [reply = std::move(reply)](std::optional<QVariant> value) {
                 if (!value || value->typeId() != QMetaType::QVariantList) {
                     reply(std::nullopt);
                     return;
                 }
                 const QVariantList stageAndHeight = value->toList();
                 const std::optional<int> height =
                     stageAndHeight.size() == 2 ? wholeNumber(stageAndHeight.at(1)) : std::nullopt;
                 if (!height) {
                     reply(std::nullopt);
                     return;
                 }
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
                 reply(handling);
             });
}

void QtPageDocument::elementsByTagName(const QString &tagName, const QStringList &innerHtmlForIds,
                                       Reply<std::optional<QList<PageElement>>> reply)
{
    // One round trip for the whole walk. getAttribute, not .id: a form's .id can be one of
    // its fields.
    static const QString script = QStringLiteral(R"((function (tag, ids) {
  var list = document.getElementsByTagName(tag), out = [];
  for (var i = 0; i < list.length; ++i) {
    var id = list[i].getAttribute("id") || "";
    out.push([id, ids.indexOf(id) >= 0 ? list[i].innerHTML : ""]);
  }
  return out;
})(%1, %2))");
    evaluate(script.arg(jsLiteral(tagName), jsLiteral(QJsonArray::fromStringList(innerHtmlForIds))),
             [reply = std::move(reply)](std::optional<QVariant> value) {
                 if (!value || value->typeId() != QMetaType::QVariantList) {
                     reply(std::nullopt);
                     return;
                 }
                 QList<PageElement> elements;
                 const QVariantList rows = value->toList();
                 elements.reserve(rows.size());
                 for (const QVariant &row : rows) {
                     const QVariantList pair = row.toList();
                     if (pair.size() != 2) {
                         reply(std::nullopt);
                         return;
                     }
                     elements.append({pair.at(0).toString(), pair.at(1).toString()});
                 }
                 reply(std::move(elements));
             });
}

void QtPageDocument::loadLazyImages(const QString &divId, const QString &addressAttribute,
                                    Reply<std::optional<int>> reply)
{
    // Attribute values, not the resolved .src: a picture already swapped holds the address
    // exactly as written.
    static const QString script = QStringLiteral(R"((function (id, attribute) {
  var divs = document.getElementsByTagName("div"), changed = 0;
  for (var i = 0; i < divs.length; ++i) {
    if (divs[i].getAttribute("id") !== id)
      continue;
    var images = divs[i].getElementsByTagName("img");
    for (var j = 0; j < images.length; ++j) {
      var address = images[j].getAttribute(attribute);
      if (address && images[j].getAttribute("src") !== address) {
        images[j].setAttribute("src", address);
        ++changed;
      }
    }
  }
  return changed;
})(%1, %2))");
    evaluate(script.arg(jsLiteral(divId), jsLiteral(addressAttribute)),
             [reply = std::move(reply)](std::optional<QVariant> value) { reply(wholeNumber(value)); });
}

void QtPageDocument::imagesMatching(const QStringList &selectors, const QStringList &lazyAttributes,
                                    Reply<std::optional<PageImages>> reply)
{
    // Attribute values as the markup serialises them ("&" as "&amp;"), so that addresses read
    // here and addresses read from inner markup are decoded the same way.
    static const QString script = QStringLiteral(R"((function (selectors, lazyAttributes) {
  function written(value) { return value ? value.replace(/&/g, "&amp;") : ""; }
  var sets = [];
  for (var i = 0; i < selectors.length; ++i) {
    var found = document.querySelectorAll(selectors[i]), images = [];
    for (var j = 0; j < found.length; ++j) {
      var lazy = "";
      for (var k = 0; k < lazyAttributes.length && !lazy; ++k)
        lazy = found[j].getAttribute(lazyAttributes[k]);
      images.push([written(found[j].getAttribute("src")), written(lazy)]);
    }
    sets.push(images);
  }
  return [document.baseURI, sets];
})(%1, %2))");
    evaluate(script.arg(jsLiteral(QJsonArray::fromStringList(selectors)),
                        jsLiteral(QJsonArray::fromStringList(lazyAttributes))),
             [reply = std::move(reply)](std::optional<QVariant> value) {
                 if (!value || value->typeId() != QMetaType::QVariantList) {
                     reply(std::nullopt);
                     return;
                 }
                 const QVariantList baseAndSets = value->toList();
                 if (baseAndSets.size() != 2) {
                     reply(std::nullopt);
                     return;
                 }
                 PageImages images;
                 images.baseUrl = QUrl(baseAndSets.at(0).toString());
                 for (const QVariant &set : baseAndSets.at(1).toList()) {
                     QList<PageImage> &out = images.sets.emplace_back();
                     for (const QVariant &image : set.toList()) {
                         const QVariantList sources = image.toList();
                         out.append({sources.value(0).toString(), sources.value(1).toString()});
                     }
                 }
                 reply(std::move(images));
             });
}

void QtPageDocument::firstInnerText(const QString &tagName, Reply<std::optional<QString>> reply)
{
    evaluate(QStringLiteral("(function (tag) { var e = document.getElementsByTagName(tag)[0]; return e ? "
                            "e.innerText : null; })(%1)")
                 .arg(jsLiteral(tagName)),
             [reply = std::move(reply)](std::optional<QVariant> value) {
                 if (!value || value->typeId() != QMetaType::QString)
                     reply(std::nullopt);
                 else
                     reply(value->toString());
             });
}

void QtPageDocument::write(const QString &markup, Reply<bool> reply)
{
    evaluate(QStringLiteral("document.write(%1); true").arg(jsLiteral(markup)),
             [reply = std::move(reply)](std::optional<QVariant> value) { reply(value && value->toBool()); });
}

} // namespace talvesk
