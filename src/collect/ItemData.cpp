// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ItemData.h"

#include "collect/CleanAddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <deque>
#include <optional>

namespace talvesk {

namespace {

// A script larger than this holds a program, not the page's data.
constexpr qsizetype kMaxScriptChars = 16 * 1024 * 1024;
// Each assignment through a name searches the script before it once.
constexpr int kMaxAssignmentsPerScript = 16;
// Places in one script where a key of older data is looked for.
constexpr int kMaxKeyOccurrences = 64;
// Values visited in a search for the record outside the loader's routes.
constexpr int kMaxSearchedValues = 200000;

const QString &contextName()
{
    static const QString name = QStringLiteral("__ICE_APP_CONTEXT__");
    return name;
}

// In order of preference.
const QStringList &addressKeys()
{
    static const QStringList keys{QStringLiteral("pcADescUrl"), QStringLiteral("descUrl"),
                                  QStringLiteral("wapDescUrl")};
    return keys;
}

bool isIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

qsizetype skipSpace(const QString &text, qsizetype at)
{
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    return at;
}

// Where the object literal that opens at text[open] ("{") ends, strings and their escapes
// skipped; -1 when it does not close.
qsizetype objectEnd(const QString &text, qsizetype open)
{
    int depth = 0;
    QChar quote;
    for (qsizetype i = open; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'{') {
            ++depth;
        } else if (c == u'}' && --depth == 0) {
            return i + 1;
        }
    }
    return -1;
}

// Where "name = {" last sets the name before this place of the script: its "{", or -1.
qsizetype definitionOf(const QString &text, const QString &name, qsizetype before)
{
    for (qsizetype at = text.lastIndexOf(name, before - 1); at >= 0;
         at = at > 0 ? text.lastIndexOf(name, at - 1) : -1) {
        const qsizetype after = at + name.size();
        if ((at > 0 && isIdentifierChar(text.at(at - 1))) ||
            (after < text.size() && isIdentifierChar(text.at(after))))
            continue;
        qsizetype p = skipSpace(text, after);
        if (p >= text.size() || text.at(p) != u'=' || (p + 1 < text.size() && text.at(p + 1) == u'='))
            continue;
        p = skipSpace(text, p + 1);
        if (p < before && text.at(p) == u'{')
            return p;
    }
    return -1;
}

void appendIfObject(const QString &text, qsizetype open, qsizetype end, QList<QJsonObject> &contexts)
{
    const QJsonDocument json = QJsonDocument::fromJson(QStringView(text).mid(open, end - open).toUtf8());
    if (json.isObject())
        contexts.append(json.object());
}

// The objects the scripts assign to the application context where they are JSON: a literal
// ("__ICE_APP_CONTEXT__ = {…}") or the object a name was set to ("var b = {…}; … = b"). Each
// literal is scanned once and the scan goes on after it; an unclosed one holds the rest of
// its script.
QList<QJsonObject> applicationContexts(const QStringList &scriptTexts)
{
    QList<QJsonObject> contexts;
    for (const QString &text : scriptTexts) {
        if (text.size() > kMaxScriptChars)
            continue;
        int assignments = 0;
        for (qsizetype at = text.indexOf(contextName()); at >= 0 && assignments < kMaxAssignmentsPerScript;
             at = text.indexOf(contextName(), at + 1)) {
            qsizetype p = skipSpace(text, at + contextName().size());
            if (p >= text.size() || text.at(p) != u'=' || (p + 1 < text.size() && text.at(p + 1) == u'='))
                continue;
            ++assignments;
            p = skipSpace(text, p + 1);
            if (p < text.size() && text.at(p) == u'{') {
                const qsizetype end = objectEnd(text, p);
                if (end < 0)
                    break;
                appendIfObject(text, p, end, contexts);
                at = end - 1;
                continue;
            }
            qsizetype nameEnd = p;
            while (nameEnd < text.size() && isIdentifierChar(text.at(nameEnd)))
                ++nameEnd;
            if (nameEnd == p)
                continue;
            const qsizetype open = definitionOf(text, text.mid(p, nameEnd - p), at);
            if (open < 0)
                continue;
            if (const qsizetype end = objectEnd(text, open); end > 0)
                appendIfObject(text, open, end, contexts);
        }
    }
    return contexts;
}

// The shape of the item's record: an object whose "item" holds an itemId or its images.
bool isRecord(const QJsonValue &value)
{
    const QJsonObject item = value.toObject().value(QLatin1String("item")).toObject();
    return item.contains(QLatin1String("itemId")) || item.value(QLatin1String("images")).isArray();
}

// The records of one context: those of the loader's routes ("loaderData.<route>.data.res"),
// else the shallowest objects of the record's shape anywhere in it, never one inside another.
void appendRecords(const QJsonObject &context, QList<QJsonObject> &records)
{
    const QJsonObject routes = context.value(QLatin1String("loaderData")).toObject();
    bool found = false;
    for (auto route = routes.begin(); route != routes.end(); ++route) {
        const QJsonValue res =
            route.value().toObject().value(QLatin1String("data")).toObject().value(QLatin1String("res"));
        if (isRecord(res)) {
            records.append(res.toObject());
            found = true;
        }
    }
    if (found)
        return;
    std::deque<QJsonValue> queue{QJsonValue(context)};
    for (int visited = 0; !queue.empty() && visited < kMaxSearchedValues; ++visited) {
        const QJsonValue value = std::move(queue.front());
        queue.pop_front();
        if (isRecord(value)) {
            records.append(value.toObject());
            continue;
        }
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it)
                queue.push_back(it.value());
        } else if (value.isArray()) {
            for (const QJsonValue &item : value.toArray())
                queue.push_back(item);
        }
    }
}

QString itemIdOf(const QJsonObject &record)
{
    const QJsonValue id = record.value(QLatin1String("item")).toObject().value(QLatin1String("itemId"));
    return id.isDouble() ? QString::number(id.toInteger()) : id.toString();
}

// The item's own record: the one whose itemId is the page's, else the first.
std::optional<QJsonObject> itemRecord(const QList<QJsonObject> &contexts, const QUrl &pageAddress)
{
    QList<QJsonObject> records;
    for (const QJsonObject &context : contexts)
        appendRecords(context, records);
    if (records.isEmpty())
        return std::nullopt;
    const QString pageItem = QUrlQuery(pageAddress).queryItemValue(QStringLiteral("id"));
    for (const QJsonObject &record : std::as_const(records)) {
        if (!pageItem.isEmpty() && itemIdOf(record) == pageItem)
            return record;
    }
    return records.first();
}

// The first string under key, depth first, in the order the object holds its keys.
std::optional<QString> findString(const QJsonValue &value, const QString &key, int depth = 0)
{
    if (depth > 64)
        return std::nullopt;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (const QJsonValue found = object.value(key); found.isString())
            return found.toString();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (const auto found = findString(it.value(), key, depth + 1))
                return found;
        }
    } else if (value.isArray()) {
        for (const QJsonValue &item : value.toArray()) {
            if (const auto found = findString(item, key, depth + 1))
                return found;
        }
    }
    return std::nullopt;
}

// The string literal whose opening quote is at text[open], with its escapes undone ("\/",
// "\u002F", "\x2F", "\""); none when it does not close.
std::optional<QString> stringLiteralAt(const QString &text, qsizetype open)
{
    const QChar quote = text.at(open);
    QString value;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == quote)
            return value;
        if (c != u'\\' || i + 1 == text.size()) {
            value.append(c);
            continue;
        }
        const QChar next = text.at(++i);
        const int digits = next == u'u' ? 4 : next == u'x' ? 2 : 0;
        bool ok = false;
        const ushort code = digits ? text.mid(i + 1, digits).toUShort(&ok, 16) : 0;
        if (ok && text.mid(i + 1, digits).size() == digits) {
            value.append(QChar(code));
            i += digits;
        } else {
            value.append(next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next);
        }
    }
    return std::nullopt;
}

// Where the data is not JSON (an object literal of a script's own): "key": "value" pairs.
std::optional<QString> findInText(const QStringList &scriptTexts, const QString &key)
{
    for (const QString &text : scriptTexts) {
        if (text.size() > kMaxScriptChars)
            continue;
        int occurrences = 0;
        for (qsizetype at = text.indexOf(key); at >= 0 && occurrences < kMaxKeyOccurrences;
             at = text.indexOf(key, at + 1), ++occurrences) {
            qsizetype before = at;
            if (before > 0 && (text.at(before - 1) == u'"' || text.at(before - 1) == u'\''))
                --before;
            if (before > 0 && isIdentifierChar(text.at(before - 1)))
                continue;
            qsizetype p = at + key.size();
            if (p < text.size() && (text.at(p) == u'"' || text.at(p) == u'\''))
                ++p;
            p = skipSpace(text, p);
            if (p >= text.size() || text.at(p) != u':')
                continue;
            p = skipSpace(text, p + 1);
            if (p >= text.size() || (text.at(p) != u'"' && text.at(p) != u'\''))
                continue;
            if (auto value = stringLiteralAt(text, p))
                return value;
        }
    }
    return std::nullopt;
}

// The first named address that is http(s) once resolved; named as soon as one is not empty.
DescriptionAddress firstWebAddress(const QStringList &named, const QUrl &pageAddress)
{
    DescriptionAddress address;
    for (const QString &text : named) {
        const QString cleaned = cleanedAddress(text);
        if (cleaned.isEmpty())
            continue;
        address.named = true;
        const QUrl url = pageAddress.resolved(QUrl(cleaned));
        if (isWebAddress(url) && !url.host().isEmpty()) {
            address.url = url;
            break;
        }
    }
    return address;
}

QStringList stringsOf(const QJsonValue &list, QLatin1String key = {})
{
    QStringList strings;
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonValue value = key.isEmpty() ? entry : entry.toObject().value(key);
        if (value.isString() && !value.toString().trimmed().isEmpty())
            strings.append(value.toString());
    }
    return strings;
}

void readRecord(const QJsonObject &record, const QUrl &pageAddress, ItemData &data)
{
    data.found = true;
    const QJsonObject item = record.value(QLatin1String("item")).toObject();
    data.gallery = stringsOf(item.value(QLatin1String("images")));
    const QJsonArray groups =
        record.value(QLatin1String("skuBase")).toObject().value(QLatin1String("props")).toArray();
    for (const QJsonValue &group : groups) {
        for (const QJsonValue &value : group.toObject().value(QLatin1String("values")).toArray()) {
            const QJsonObject variant = value.toObject();
            data.variants.append({variant.value(QLatin1String("name")).toString().trimmed(),
                                  variant.value(QLatin1String("image")).toString()});
        }
    }
    QStringList named;
    for (const QString &key : addressKeys()) {
        for (const QJsonObject &holder : {item, record}) {
            if (const QJsonValue value = holder.value(key); value.isString())
                named.append(value.toString());
        }
    }
    data.description = firstWebAddress(named, pageAddress);
    const QJsonValue resist =
        record.value(QLatin1String("feature")).toObject().value(QLatin1String("pcResistDetail"));
    data.markedSimplified = resist == QJsonValue(true) || resist == QJsonValue(QStringLiteral("true"));
    data.videos = stringsOf(item.value(QLatin1String("videos")), QLatin1String("url"));
    if (data.videos.isEmpty()) {
        const QJsonValue headVideos = record.value(QLatin1String("componentsVO"))
                                          .toObject()
                                          .value(QLatin1String("headImageVO"))
                                          .toObject()
                                          .value(QLatin1String("videos"));
        data.videos = stringsOf(headVideos, QLatin1String("url"));
    }
}

} // namespace

QStringList itemDataMarkers()
{
    return {contextName(), QStringLiteral("DescUrl"), QStringLiteral("descUrl")};
}

ItemData readItemData(const QStringList &scriptTexts, const QUrl &pageAddress)
{
    ItemData data;
    const QList<QJsonObject> contexts = applicationContexts(scriptTexts);
    if (const std::optional<QJsonObject> record = itemRecord(contexts, pageAddress)) {
        readRecord(*record, pageAddress, data);
        return data;
    }
    QStringList named;
    for (const QString &key : addressKeys()) {
        for (const QJsonObject &context : contexts) {
            if (const auto value = findString(context, key))
                named.append(*value);
        }
        if (const auto value = findInText(scriptTexts, key))
            named.append(*value);
    }
    data.description = firstWebAddress(named, pageAddress);
    return data;
}

} // namespace talvesk
