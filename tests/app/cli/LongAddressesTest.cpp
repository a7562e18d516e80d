// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/LongAddresses.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using talvesk::addressForTerminal;
using talvesk::isTooLongForEngine;
using talvesk::kEngineAddressLimit;

// The limit counts what the engine is handed, escapes included, not the text as typed.
TEST(LongAddresses, CountedInTheEncodedForm)
{
    const QString start = QStringLiteral("http://shop.example/item.htm?q=");
    const QString atLimit = start + QString(kEngineAddressLimit - start.size(), QLatin1Char('a'));
    EXPECT_FALSE(isTooLongForEngine(atLimit));
    EXPECT_TRUE(isTooLongForEngine(atLimit + QLatin1Char('a')));
    // A ninth of the limit as typed, past it once every "中" is "%E4%B8%AD".
    EXPECT_TRUE(isTooLongForEngine(start + QString(kEngineAddressLimit / 9, QChar(0x4E2D))));
}

// The echo keeps 200 characters and marks the cut, never splitting a character in two.
TEST(LongAddresses, EchoKeepsTheStartWhole)
{
    const QString short200 = QString(200, QLatin1Char('x'));
    EXPECT_EQ(addressForTerminal(short200), short200);
    EXPECT_EQ(addressForTerminal(short200 + QLatin1Char('y')), short200 + QChar(0x2026));
    // A character outside the basic plane whose second half would be the 201st.
    const QString wide = QString(199, QLatin1Char('x')) + QString::fromUcs4(U"\U0001F600") + QLatin1Char('z');
    EXPECT_EQ(addressForTerminal(wide), QString(199, QLatin1Char('x')) + QChar(0x2026));
}
