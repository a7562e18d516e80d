// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/FullSizeAddress.h"

#include "collect/CharacterReferences.h"

#include <QRegularExpression>

namespace talvesk {

namespace {

struct Span
{
    qsizetype start = -1;
    qsizetype end = -1;
};

// The file name: after the last "/" of the path, before a query or fragment. None for an
// address that is a host alone.
Span fileName(const QString &address)
{
    qsizetype pathStart = 0;
    const qsizetype authority = address.indexOf(QLatin1String("//"));
    if (authority >= 0 && address.indexOf(u'/') == authority) {
        pathStart = address.indexOf(u'/', authority + 2);
        if (pathStart < 0)
            return {};
    }
    qsizetype end = address.size();
    for (const QChar stop : {u'?', u'#'}) {
        const qsizetype at = address.indexOf(stop, pathStart);
        if (at >= 0 && at < end)
            end = at;
    }
    const qsizetype lastSlash = end > 0 ? address.lastIndexOf(u'/', end - 1) : -1;
    return {qMax(lastSlash + 1, pathStart), end};
}

} // namespace

QString fullSizeAddress(const QString &written)
{
    QString address = decodeCharacterReferences(written);
    if (address.startsWith(QLatin1String("//")))
        address.prepend(QLatin1String("https:"));

    const Span name = fileName(address);
    if (name.start < 0)
        return address;
    // The first extension followed by "_": names themselves hold "_" ("O1CN01aa_!!123.jpg").
    static const QRegularExpression extensionThenSuffix(QStringLiteral(R"(\.(?:jpe?g|png|gif|webp|bmp)_)"),
                                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch suffix =
        extensionThenSuffix.match(address.mid(name.start, name.end - name.start));
    if (suffix.hasMatch())
        address.truncate(name.start + suffix.capturedEnd() - 1);
    return address;
}

} // namespace talvesk
