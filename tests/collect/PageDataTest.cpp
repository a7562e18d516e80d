// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/DescriptionAddress.h"
#include "collect/MarketplaceGate.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using talvesk::descriptionAddress;
using talvesk::MarketplaceGate;
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

// The description document is the one the page's data names: pcADescUrl of the item in the
// application context first, then descUrl and wapDescUrl, then the same keys wherever the
// scripts hold them as data; resolved against the page, and only ever an http(s) address.
// Data that names only other schemes names a document that cannot be opened.
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
        const auto named = descriptionAddress(c.scripts, kPage);
        EXPECT_EQ(named.named, c.named);
        EXPECT_EQ(named.url, QUrl(QString::fromUtf8(c.url)));
    }
}

// Login and check pages are known by their address, by their forms and sliders shown, and by
// a frame of theirs over another page; an item page is none of them.
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
