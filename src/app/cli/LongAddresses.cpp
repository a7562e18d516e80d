// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/LongAddresses.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace talvesk {

bool isTooLongForEngine(const QString &address)
{
    return QUrl::fromUserInput(address).toEncoded().size() > kEngineAddressLimit;
}

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0);
}

} // namespace

QString addressForTerminal(const QString &address)
{
    constexpr qsizetype shown = 200;
    QString text = address;
    if (text.size() > shown) {
        // Never half a character: a surrogate pair stays whole or goes.
        const qsizetype cut = text.at(shown - 1).isHighSurrogate() ? shown - 1 : shown;
        text = text.left(cut) + QChar(0x2026);
    }
    // A control character would act on the terminal: it is shown by its code.
    QString shownText;
    for (const QChar c : text)
        shownText +=
            isControl(c) ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')) : QString(c);
    return shownText;
}

bool holdsControlCharacter(const QString &text)
{
    return std::any_of(text.begin(), text.end(), isControl);
}

} // namespace talvesk
