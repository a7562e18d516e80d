#include "collect/ItemTitle.h"

#include "support/FakePageBrowser.h"

#include <gtest/gtest.h>

using talvesk::cleanFileName;
using talvesk::readItemTitle;
using talvesk::test::FakePageBrowser;

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

TEST(GetItemTitle, CleansTheFirstTitlesText)
{
    FakePageBrowser browser;
    browser.title = QStringLiteral("新款/连衣裙:夏 *特价* \"包邮\" ");
    const auto result = readItemTitle(browser);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.title, QStringLiteral("新款连衣裙夏 特价 \"包邮\" "));
    EXPECT_TRUE(result.errorString.isEmpty());
}

TEST(GetItemTitle, EmptyTitleElementGivesEmptyTitle)
{
    FakePageBrowser browser;
    browser.title = QString();
    const auto result = readItemTitle(browser);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.title.isEmpty());
}

TEST(GetItemTitle, NoTitleElementIsAnError)
{
    FakePageBrowser browser;
    browser.title = std::nullopt;
    const auto result = readItemTitle(browser);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.title.isEmpty());
    EXPECT_EQ(result.errorString, QStringLiteral("采集失败:网页没有标题(title)元素,无法取得宝贝标题！"));
}

TEST(GetItemTitle, NoDocumentIsAnError)
{
    FakePageBrowser browser;
    browser.title = QStringLiteral("Item");
    browser.hasDocument = false;
    const auto result = readItemTitle(browser);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.title.isEmpty());
    EXPECT_EQ(result.errorString, QStringLiteral("采集失败:浏览器中没有可读取的网页！"));
}
