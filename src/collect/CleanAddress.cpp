// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CleanAddress.h"

#include <QRegularExpression>

namespace talvesk {

namespace {

bool isControlOrSpace(QChar c)
{
    return c.unicode() <= 0x20;
}

bool isTabOrNewline(QChar c)
{
    return c == u'\t' || c == u'\n' || c == u'\r';
}

bool breaksLines(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7f || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace

QString cleanedAddress(const QString &written)
{
    qsizetype begin = 0;
    qsizetype end = written.size();
    while (begin < end && isControlOrSpace(written.at(begin)))
        ++begin;
    while (end > begin && isControlOrSpace(written.at(end - 1)))
        --end;
    QString address;
    address.reserve(end - begin);
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = written.at(i);
        if (isTabOrNewline(c))
            continue;
        if (!breaksLines(c)) {
            address.append(c);
            continue;
        }
        address.append(QString::fromLatin1(QString(c).toUtf8().toPercentEncoding()));
    }
    return address;
}

bool isWebAddress(const QUrl &url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QString addressOfSharedText(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("https?://"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch first = scheme.match(text);
    if (!first.hasMatch() || first.capturedStart() == 0)
        return text;
    // Up to the next space, or without spaces to the first character no address holds as typed.
    static const QRegularExpression spaced(QStringLiteral(R"(\S+)"));
    static const QRegularExpression unspaced(QStringLiteral("[!-~]+"));
    const bool hasSpace = text.contains(QRegularExpression(QStringLiteral(R"(\s)")));
    return (hasSpace ? spaced : unspaced).match(text, first.capturedStart()).captured();
}

} // namespace talvesk
