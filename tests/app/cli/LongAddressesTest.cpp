// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/LongAddresses.h"
#include "collect/CleanAddress.h"

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

// A text shared from the app is read by its first web address, up to the space after it, or
// without spaces up to the first character no typed address holds; an address stays itself.
TEST(LongAddresses, SharedTextIsReadByItsFirstWebAddress)
{
    using talvesk::addressOfSharedText;
    EXPECT_EQ(addressOfSharedText(QStringLiteral(
                  "【淘宝】2026新款 https://e.tb.cn/h.abc?tk=X1 CZ001 「连衣裙」点击链接直接打开")),
              QStringLiteral("https://e.tb.cn/h.abc?tk=X1"));
    EXPECT_EQ(addressOfSharedText(QStringLiteral("【淘宝】HTTPS://e.tb.cn/h.abc「连衣裙」")),
              QStringLiteral("HTTPS://e.tb.cn/h.abc"));
    const QString typed = QStringLiteral("https://s.example/search?q=连衣裙");
    EXPECT_EQ(addressOfSharedText(typed), typed);
    EXPECT_EQ(addressOfSharedText(QStringLiteral("item.example/item.htm?id=1")),
              QStringLiteral("item.example/item.htm?id=1"));
    EXPECT_TRUE(talvesk::holdsControlCharacter(QStringLiteral("http://a/\x1b")));
    EXPECT_EQ(addressForTerminal(QStringLiteral("http://a/") + QChar(0) + QStringLiteral("b")),
              QStringLiteral("http://a/\\x00b"));
}
