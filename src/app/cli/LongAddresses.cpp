// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/LongAddresses.h"

#include <QUrl>

namespace talvesk {

bool isTooLongForEngine(const QString &address)
{
    return QUrl::fromUserInput(address).toEncoded().size() > kEngineAddressLimit;
}

QString addressForTerminal(const QString &address)
{
    constexpr qsizetype shown = 200;
    if (address.size() <= shown)
        return address;
    // Never half a character: a surrogate pair stays whole or goes.
    const qsizetype cut = address.at(shown - 1).isHighSurrogate() ? shown - 1 : shown;
    return address.left(cut) + QChar(0x2026);
}

} // namespace talvesk
