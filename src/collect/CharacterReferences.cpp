// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CharacterReferences.h"

#include <QStringView>

#include <optional>

namespace talvesk {
namespace {

struct NamedReference
{
    QLatin1String name; // between "&" and ";"
    char16_t character;
};

// The references the browser writes when it serialises markup, and &apos; (&#39; is numeric).
// &nbsp; stands for the address's own U+00A0: left as written, its "&" would split a query.
constexpr NamedReference kNamed[] = {
    {QLatin1String("amp"), u'&'}, {QLatin1String("quot"), u'"'}, {QLatin1String("apos"), u'\''},
    {QLatin1String("lt"), u'<'},  {QLatin1String("gt"), u'>'},   {QLatin1String("nbsp"), u'\u00A0'},
};

constexpr char32_t kLastCodePoint = 0x10FFFF;

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

// A control character in an address would end its line in every listing of it, and a browser's
// address parser drops or refuses it anyway.
bool isUsableCodePoint(char32_t c)
{
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    return !control && !surrogate && c <= kLastCodePoint;
}

struct Decoded
{
    qsizetype length; // of the reference, "&" and ";" included
    char32_t character;
};

// The numeric reference whose digits start at "from" (after "&#" or "&#x").
std::optional<Decoded> numericReference(QStringView text, qsizetype from, qsizetype start, int base)
{
    char32_t value = 0;
    qsizetype at = from;
    for (; at < text.size(); ++at) {
        const int digit = digitValue(text[at], base);
        if (digit < 0)
            break;
        if (value <= kLastCodePoint) // past it the reference is refused; stop growing
            value = value * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
    }
    if (at == from || at >= text.size() || text[at] != u';' || !isUsableCodePoint(value))
        return std::nullopt;
    return Decoded{at + 1 - start, value};
}

// The reference that starts with the "&" at "start", if it is one we decode.
std::optional<Decoded> referenceAt(QStringView text, qsizetype start)
{
    const QStringView rest = text.mid(start + 1);
    if (rest.startsWith(u"#x") || rest.startsWith(u"#X"))
        return numericReference(text, start + 3, start, 16);
    for (const NamedReference &named : kNamed) {
        if (rest.startsWith(named.name) && rest.mid(named.name.size()).startsWith(u';'))
            return Decoded{named.name.size() + 2, named.character};
    }
    if (rest.startsWith(u'#'))
        return numericReference(text, start + 2, start, 10);
    return std::nullopt;
}

} // namespace

QString decodeCharacterReferences(const QString &text)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    for (; amp >= 0; amp = text.indexOf(u'&', amp + 1)) {
        const std::optional<Decoded> reference = referenceAt(text, amp);
        if (!reference)
            continue;
        out += QStringView(text).mid(copied, amp - copied);
        if (QChar::requiresSurrogates(reference->character)) {
            out += QChar(QChar::highSurrogate(reference->character));
            out += QChar(QChar::lowSurrogate(reference->character));
        } else {
            out += QChar(static_cast<char16_t>(reference->character));
        }
        copied = amp + reference->length;
        amp = copied - 1; // go on after the reference
    }
    out += QStringView(text).mid(copied);
    return out;
}

} // namespace talvesk
