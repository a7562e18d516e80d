// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ItemTitle.h"

#include <gtest/gtest.h>

using talvesk::cleanFileName;
using talvesk::itemTitleFromText;

TEST(CleanFileName, RemovesTheEightCharacters)
{
    EXPECT_EQ(cleanFileName(QStringLiteral("a/b:c*d?e<f>g|h\\i")), QStringLiteral("abcdefghi"));
    EXPECT_EQ(cleanFileName(QStringLiteral("/\\:*?<>|||//")), QString());
    EXPECT_TRUE(cleanFileName(QStringLiteral("/\\:*?<>|")).isEmpty());
}

TEST(CleanFileName, KeepsEverythingElse)
{
    const QString kept = QStringLiteral(" \"宝贝\"：标题 . \t\x01 ...  ");
    EXPECT_EQ(cleanFileName(kept), kept);
    EXPECT_EQ(cleanFileName(QStringLiteral("a\"b：c ")), QStringLiteral("a\"b：c "));
    EXPECT_EQ(cleanFileName(QString()), QString());
    // Surrogate pairs and look-alikes (full-width slash, fraction slash) stay.
    EXPECT_EQ(cleanFileName(QStringLiteral("😀／⁄")), QStringLiteral("😀／⁄"));
}

// The first title element's text is cleaned; an empty one gives an empty title; a page
// without one has none.
TEST(ItemTitle, FromTheFirstTitlesText)
{
    EXPECT_EQ(itemTitleFromText(QStringLiteral("新款/连衣裙:夏 *特价* \"包邮\" ")),
              QStringLiteral("新款连衣裙夏 特价 \"包邮\" "));
    EXPECT_EQ(itemTitleFromText(QString()), QString());
    EXPECT_EQ(itemTitleFromText(std::nullopt), std::nullopt);
}
