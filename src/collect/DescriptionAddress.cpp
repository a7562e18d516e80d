// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/DescriptionAddress.h"

#include "collect/CleanAddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <optional>

namespace talvesk {

namespace {

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

// The object literal that starts at text[open] ("{"), up to its matching "}", strings and
// their escapes skipped; empty when it does not close.
QString objectAt(const QString &text, qsizetype open)
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
            return text.mid(open, i - open + 1);
        }
    }
    return {};
}

// The application context each script assigns, where it is JSON.
QList<QJsonObject> applicationContexts(const QStringList &scriptTexts)
{
    static const QRegularExpression assignment(QRegularExpression::escape(contextName()) +
                                               QStringLiteral(R"(\s*=\s*\{)"));
    QList<QJsonObject> contexts;
    for (const QString &text : scriptTexts) {
        QRegularExpressionMatchIterator matches = assignment.globalMatch(text);
        while (matches.hasNext()) {
            const QString object = objectAt(text, matches.next().capturedEnd() - 1);
            const QJsonDocument json = QJsonDocument::fromJson(object.toUtf8());
            if (json.isObject())
                contexts.append(json.object());
        }
    }
    return contexts;
}

QJsonValue at(const QJsonObject &object, const QStringList &path)
{
    QJsonValue value = object;
    for (const QString &key : path)
        value = value.toObject().value(key);
    return value;
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

// A string literal's text with its escapes undone ("\/", "\u002F", "\x2F", "\"").
QString unescaped(const QString &literal)
{
    QString text;
    for (qsizetype i = 0; i < literal.size(); ++i) {
        const QChar c = literal.at(i);
        if (c != u'\\' || i + 1 == literal.size()) {
            text.append(c);
            continue;
        }
        const QChar next = literal.at(++i);
        const int digits = next == u'u' ? 4 : next == u'x' ? 2 : 0;
        bool ok = false;
        const ushort code = digits ? literal.mid(i + 1, digits).toUShort(&ok, 16) : 0;
        if (ok && literal.mid(i + 1, digits).size() == digits) {
            text.append(QChar(code));
            i += digits;
        } else {
            text.append(next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next);
        }
    }
    return text;
}

// Where the data is not JSON (an object literal of a script's own): "key": "value" pairs.
std::optional<QString> findInText(const QStringList &scriptTexts, const QString &key)
{
    const QRegularExpression pair(
        QStringLiteral(R"re((?<![\w$])["']?%1["']?\s*:\s*(?:"((?:[^"\\]|\\.)*)"|'((?:[^'\\]|\\.)*)'))re")
            .arg(key));
    for (const QString &text : scriptTexts) {
        const QRegularExpressionMatch match = pair.match(text);
        if (match.hasMatch())
            return unescaped(match.captured(1).isNull() ? match.captured(2) : match.captured(1));
    }
    return std::nullopt;
}

} // namespace

QStringList descriptionAddressMarkers()
{
    return {contextName(), QStringLiteral("DescUrl"), QStringLiteral("descUrl")};
}

DescriptionAddress descriptionAddress(const QStringList &scriptTexts, const QUrl &pageAddress)
{
    const QList<QJsonObject> contexts = applicationContexts(scriptTexts);
    const QStringList itemData{QStringLiteral("loaderData"), QStringLiteral("home"), QStringLiteral("data"),
                               QStringLiteral("res"), QStringLiteral("item")};
    QStringList named;
    for (const QString &key : addressKeys()) {
        for (const QJsonObject &context : contexts) {
            if (const QJsonValue value = at(context, itemData).toObject().value(key); value.isString())
                named.append(value.toString());
        }
        for (const QJsonObject &context : contexts) {
            if (const auto value = findString(context, key))
                named.append(*value);
        }
        if (const auto value = findInText(scriptTexts, key))
            named.append(*value);
    }

    DescriptionAddress address;
    for (const QString &text : std::as_const(named)) {
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

} // namespace talvesk
