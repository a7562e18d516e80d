// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ItemData.h"
#include "collect/ItemDataPictures.h"
#include "collect/MarketplaceGate.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using talvesk::MarketplaceGate;
using talvesk::readItemData;
using talvesk::ShownMarks;

namespace {

const QUrl kPage(QStringLiteral("https://detail.example/item.htm?id=1"));

QString context(const QString &item)
{
    return QStringLiteral(
               "window.__ICE_APP_CONTEXT__ = {\"loaderData\":{\"home\":{\"data\":{\"res\":{\"item\":%1,"
               "\"feature\":{\"pcResistDetail\":\"true\"}}}}}};")
        .arg(item);
}

} // namespace

// The description document is the one the data names, by key in order, resolved, and only http(s).
TEST(DescriptionAddress, OnlyTheDataNamesItAndOnlyHttp)
{
    const struct
    {
        const char *what;
        QStringList scripts;
        bool named;
        const char *url;
    } cases[] = {
        {"the item's address, protocol-relative",
         {context(
             QStringLiteral("{\"pcADescUrl\":\"//market.example/desc/index.html?id=1&f=desc/icoss1\"}"))},
         true,
         "https://market.example/desc/index.html?id=1&f=desc/icoss1"},
        {"a forged context before the real one is not JSON and counts for nothing",
         {QStringLiteral("window.__ICE_APP_CONTEXT__ = {loaderData: {pcADescUrl: 'javascript:alert(1)'}};"),
          context(QStringLiteral("{\"pcADescUrl\":\"//market.example/d.html\"}"))},
         true,
         "https://market.example/d.html"},
        {"another scheme is passed over for an http one",
         {context(QStringLiteral(
             "{\"pcADescUrl\":\"javascript:alert(1)\",\"descUrl\":\"http://dsc.example/d\"}"))},
         true,
         "http://dsc.example/d"},
        {"older data in a script's own object, escaped",
         {QStringLiteral("var g_config = {itemId: 1, 'wapDescUrl': \"\\/\\/m.example\\u002Fdesc?id=1\"};")},
         true,
         "https://m.example/desc?id=1"},
        {"nothing but other schemes",
         {context(QStringLiteral("{\"pcADescUrl\":\" file:///etc/passwd \"}"))},
         true,
         ""},
        {"no data", {QStringLiteral("var descUrlPending = true;")}, false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto named = readItemData(c.scripts, kPage).description;
        EXPECT_EQ(named.named, c.named);
        EXPECT_EQ(named.url, QUrl(QString::fromUtf8(c.url)));
    }
}

// The item's record is found by its shape under any route, assigned late too.
TEST(ItemData, ReadsTheRecordByItsShapeUnderAnyRoute)
{
    const QString script = QStringLiteral(
        "var b = {\"appData\":{},\"loaderData\":{\"detail2\":{\"data\":{\"res\":{"
        "\"item\":{\"itemId\":\"1\",\"images\":[\"//img.example/g/1.jpg\",\"https://img.example/g/2.jpg\"],"
        "\"videos\":[{\"url\":\"https://video.example/v/1.mp4?appKey=3\"}]},"
        "\"skuBase\":{\"props\":[{\"name\":\"颜色分类\",\"values\":[{\"vid\":1,\"name\":\"黑色\","
        "\"image\":\"https://img.example/c/1.jpg\"},{\"vid\":2,\"name\":\"白色\"}]},"
        "{\"name\":\"尺码\",\"values\":[{\"vid\":3,\"name\":\"XL\"}]}]},"
        "\"feature\":{\"pcResistDetail\":\"true\"}}}}}};\n"
        "if (x) {}\nwindow.__ICE_APP_CONTEXT__ = b;");
    const auto data = readItemData({script}, kPage);
    ASSERT_TRUE(data.found);
    EXPECT_EQ(data.gallery, (QStringList{QStringLiteral("//img.example/g/1.jpg"),
                                         QStringLiteral("https://img.example/g/2.jpg")}));
    ASSERT_EQ(data.variants.size(), 3);
    EXPECT_EQ(data.variants.at(0).name, QStringLiteral("黑色"));
    EXPECT_EQ(data.variants.at(0).picture, QStringLiteral("https://img.example/c/1.jpg"));
    EXPECT_TRUE(data.variants.at(1).picture.isEmpty());
    EXPECT_FALSE(data.description.named);
    EXPECT_TRUE(data.markedSimplified);
    EXPECT_EQ(data.videos, QStringList{QStringLiteral("https://video.example/v/1.mp4?appKey=3")});
}

// Only the item's own record names its description, not a recommendation, a forgery or a comment.
TEST(ItemData, TheItemsOwnDescriptionWins)
{
    const QString longQuery(40 * 1024, u'a');
    const QString forged = QStringLiteral(
        "// \"pcADescUrl\":\"//evil.example/comment\"\nvar rec = {\"pcADescUrl\":\"//evil.example/rec\"};\n"
        "window.__ICE_APP_CONTEXT__ = {\"loaderData\":{\"home\":{\"data\":{\"res\":{\"item\":{\"itemId\":2,"
        "\"pcADescUrl\":\"//evil.example/other-item\"}}}}}};");
    const QString real =
        QStringLiteral("window.__ICE_APP_CONTEXT__ = {\"loaderData\":{\"home\":{\"data\":{\"res\":{"
                       "\"recommend\":{\"item\":{\"itemId\":3,\"pcADescUrl\":\"//evil.example/rec2\"}},"
                       "\"item\":{\"itemId\":1,\"pcADescUrl\":\"//market.example/d?q=%1\"}}}}}};")
            .arg(longQuery);
    const auto data = readItemData({forged, real}, kPage);
    ASSERT_TRUE(data.found);
    EXPECT_EQ(data.description.url.toString(), QStringLiteral("https://market.example/d?q=") + longQuery);
}

// Markers that never close cost one scan of the script, not one per marker: the page cannot
// hold the program.
TEST(ItemData, UnclosedMarkersAreReadInLinearTime)
{
    const QString hostile = QStringLiteral("window.__ICE_APP_CONTEXT__={").repeated(80000);
    const QString keys = QStringLiteral("\"pcADescUrl\":\"").repeated(20000);
    const auto data = readItemData({hostile, keys}, kPage);
    EXPECT_FALSE(data.found);
    EXPECT_FALSE(data.description.named);
}

// The data's gallery and variants come first, each picture once; drawn ones fill the gaps.
TEST(ItemData, IsASecondWitnessForGalleryAndVariants)
{
    talvesk::ItemData data;
    data.found = true;
    data.gallery = {QStringLiteral("https://img.alicdn.com/i/1.jpg"),
                    QStringLiteral("//img.alicdn.com/i/2.jpg"),
                    QStringLiteral("https://img.alicdn.com/i/3.jpg")};
    data.variants = {{QStringLiteral("红"), QStringLiteral("https://gw.alicdn.com/c/1.jpg")},
                     {QStringLiteral("XL"), {}},
                     {QStringLiteral("粉红"), QStringLiteral("https://gw.alicdn.com/c/1.jpg")},
                     {QString(), QStringLiteral("https://gw.alicdn.com/c/2.jpg")}};
    talvesk::CollectedSet set;
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.mainPictures.put(0, QStringLiteral("http://gw.alicdn.com/i/2.jpg"));
    set.mainPictures.put(1, QStringLiteral("https://img.alicdn.com/i/9.jpg"));
    set.colourPictures.put(0, QStringLiteral("https://img.alicdn.com/c/2.jpg"));
    set.colourPictures.put(1, QStringLiteral("https://img.alicdn.com/c/3.jpg"));
    set.colourNames = {QStringLiteral("蓝"), QStringLiteral("绿")};
    talvesk::addWhatTheDataNames(data, kPage, set);
    EXPECT_EQ(set.mainPictures.addresses(), (QStringList{QStringLiteral("https://img.alicdn.com/i/1.jpg"),
                                                         QStringLiteral("https://img.alicdn.com/i/2.jpg"),
                                                         QStringLiteral("https://img.alicdn.com/i/3.jpg"),
                                                         QStringLiteral("https://img.alicdn.com/i/9.jpg")}));
    EXPECT_EQ(set.colourPictures.addresses(),
              (QStringList{QStringLiteral("https://gw.alicdn.com/c/1.jpg"),
                           QStringLiteral("https://gw.alicdn.com/c/2.jpg"),
                           QStringLiteral("https://img.alicdn.com/c/3.jpg")}));
    EXPECT_EQ(set.colourNames,
              (QStringList{QStringLiteral("红"), QStringLiteral("蓝"), QStringLiteral("绿")}));
}

// Login and check pages are known by address, shown forms and sliders, or a frame over the page.
TEST(MarketplaceGate, KnowsLoginAndCheckPages)
{
    using Kind = MarketplaceGate::Kind;
    const QStringList selectors = MarketplaceGate::selectors();
    const auto shown = [&](const QString &selector) {
        ShownMarks marks;
        for (const QString &each : selectors)
            marks.selectorsShown.append(each == selector);
        return marks;
    };
    EXPECT_EQ(MarketplaceGate::ofAddress(QUrl(QStringLiteral(
                  "https://login.taobao.com/member/login.jhtml?redirectURL=https%3A%2F%2Fitem.taobao.com"))),
              Kind::Login);
    EXPECT_EQ(MarketplaceGate::ofAddress(QUrl(QStringLiteral("https://login.tmall.com/?redirectURL=x"))),
              Kind::Login);
    EXPECT_EQ(MarketplaceGate::ofAddress(QUrl(
                  QStringLiteral("https://item.taobao.com/_____tmd_____/punish?x5secdata=1&action=captcha"))),
              Kind::Verification);
    EXPECT_EQ(
        MarketplaceGate::ofAddress(QUrl(QStringLiteral("https://item.taobao.com/item.htm?id=1&punish=1"))),
        Kind::None);
    EXPECT_EQ(MarketplaceGate::ofPage(kPage, shown(QStringLiteral("#fm-login-password"))), Kind::Login);
    EXPECT_EQ(MarketplaceGate::ofPage(kPage, shown(QStringLiteral("#nc_1_wrapper"))), Kind::Verification);
    EXPECT_EQ(MarketplaceGate::ofPage(kPage, shown(QString())), Kind::None);
    ShownMarks framed = shown(QString());
    framed.frameAddresses = {QUrl(QStringLiteral("https://g.example/ad.html")),
                             QUrl(QStringLiteral("https://login.taobao.com/member/login.jhtml?style=mini"))};
    EXPECT_EQ(MarketplaceGate::ofPage(kPage, framed), Kind::Login);
    ShownMarks slider = shown(QString());
    slider.phrasesFound = {true};
    EXPECT_EQ(MarketplaceGate::ofPage(kPage, slider), Kind::Verification);
}
