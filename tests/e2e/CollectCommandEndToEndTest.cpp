// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CollectMessages.h"
#include "app/PreviewPage.h"
#include "collect/CollectCommand.h"

#include "app/WaitUntil.h"
#include "collect/PictureList.h"
#include "platform/qt/BrowserSetup.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageBrowser.h"
#include "support/CurrentLayoutPages.h"
#include "support/SampleShop.h"
#include "support/SyncDocument.h"
#include "support/TaskResult.h"

#include <QImage>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using talvesk::CollectCommand;
using talvesk::CollectedSet;
using talvesk::CollectMessages;
using talvesk::CollectResult;
using talvesk::DescriptionProblem;
using talvesk::PageBrowser;
using talvesk::PictureList;
using talvesk::QtEventLoop;
using talvesk::QtPageBrowser;
using talvesk::test::currentLayoutPage;
using talvesk::test::dataPage;
using talvesk::test::dataPagePictures;
using talvesk::test::DescriptionDocument;
using talvesk::test::descriptionDocument;
using talvesk::test::DescriptionForm;
using talvesk::test::evaluated;
using talvesk::test::Generation;
using talvesk::test::HttpResponse;
using talvesk::test::ItemPageMarkup;
using talvesk::test::LazyLoader;
using talvesk::test::Marketplace;
using talvesk::test::SampleItem;
using talvesk::test::SampleShop;
using talvesk::test::started;
using talvesk::test::SyncDocument;
using talvesk::test::waitUntil;

namespace {

class CollectEndToEndTest : public ::testing::Test
{
protected:
    CollectEndToEndTest()
    {
        m_host.resize(1024, 768);
        for (QtPageBrowser *browser : {&m_browser1, &m_browser2, &m_browser3})
            browser->setSilent(true);
        for (QtPageBrowser *browser : {&m_browser1, &m_browser2})
            browser->view()->setGeometry(0, 0, 1024, 768);
        m_browser2.setVisible(false);
        // The description document's page is hosted as the window's is: shown, out of sight.
        talvesk::BrowserSetup::keepOutOfSight(m_browser3.view());
        // Only a shown page gets the scroll events that reveal lazy pictures.
        m_host.show();
    }

    CollectResult collect(const QUrl &url)
    {
        const auto result = started(m_command.run(url.toString()));
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }));
        return result->value_or(CollectResult{});
    }

    // Loads the page without collecting it.
    bool load(const QUrl &url)
    {
        m_browser1.navigate(url.toString());
        return waitUntil([this] { return m_browser1.loadState() != PageBrowser::LoadState::Loading; });
    }

    // The pictures of the preview the window writes of the set.
    int previewPictureCount(const talvesk::CollectedSet &set)
    {
        const auto written = started(talvesk::writePreviewPage(m_browser2, m_loop, set, QString()));
        if (!waitUntil([&] { return written->has_value(); }) || !(*written)->ok())
            return -1;
        const auto count = evaluated(m_browser2, QStringLiteral("document.images.length"));
        return count ? count->toInt() : -1;
    }

    void expectCollected(const CollectResult &result, const SampleItem &item, const QString &summary)
    {
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.set.mainPictures.addresses(), item.mainPictures);
        EXPECT_EQ(result.set.colourPictures.addresses(), item.colourPictures);
        if (!item.colourNames.isEmpty()) {
            EXPECT_EQ(result.set.colourNames, item.colourNames);
        }
        EXPECT_EQ(result.set.descriptionPictures.addresses(), item.descriptionPictures);
        EXPECT_EQ(result.set.itemTitle, item.itemTitle);
        EXPECT_EQ(CollectMessages::summary(result.set), summary);
        EXPECT_EQ(previewPictureCount(result.set),
                  item.mainPictures.size() + item.colourPictures.size() + item.descriptionPictures.size());
    }

    void expectFailed(const CollectResult &result, const QString &message)
    {
        EXPECT_EQ(result.status, CollectResult::Status::Failed);
        EXPECT_EQ(CollectMessages::failure(result), message);
        EXPECT_TRUE(result.set.itemTitle.isEmpty());
        EXPECT_TRUE(result.set.mainPictures.isEmpty());
        EXPECT_TRUE(result.set.colourPictures.isEmpty());
        EXPECT_TRUE(result.set.descriptionPictures.isEmpty());
    }

    // Today's page of the generation on both marketplaces: every list whole, without the noise.
    void expectCollectsCurrentLayout(Generation generation)
    {
        for (const Marketplace marketplace : {Marketplace::Taobao, Marketplace::Tmall}) {
            const QString path = QStringLiteral("/now/%1-%2/item.htm")
                                     .arg(static_cast<int>(generation))
                                     .arg(static_cast<int>(marketplace));
            const ItemPageMarkup page = currentLayoutPage(m_shop.port(), path, generation, marketplace);
            m_shop.server().route(path, HttpResponse::html(page.markup));
            expectCollected(collect(page.item.url), page.item,
                            QStringLiteral("图片采集完成,主图数:7,描述图数:6,总图数:13,可以进行下载！"));
            // A page of the generation that carries its description in the page is loaded once.
            if (generation == Generation::RootApplication) {
                EXPECT_EQ(m_shop.server().requestCount(path), 1);
            }
        }
    }

    SampleShop m_shop;
    QWebEngineProfile m_profile; // off the record
    QWidget m_host;
    QtPageBrowser m_browser1{&m_profile, &m_host};
    QtPageBrowser m_browser2{&m_profile, &m_host};
    QtPageBrowser m_browser3{&m_profile, &m_host}; // the description document's
    QtEventLoop m_loop;
    CollectCommand m_command{m_browser1, m_browser3, m_loop};
};

} // namespace

// A page that grows while it is scrolled is scrolled to its final end.
TEST_F(CollectEndToEndTest, FollowsAPageThatGrows)
{
    const SampleItem item = m_shop.growingItem();
    ASSERT_TRUE(load(item.url));
    const int initialHeight = SyncDocument(m_browser1.document())->heightFromTop().value_or(0);

    expectCollected(collect(item.url), item,
                    QStringLiteral("图片采集完成,主图数:2,描述图数:10,总图数:12,可以进行下载！"));
    // Four blocks of two 150 px places.
    EXPECT_GE(SyncDocument(m_browser1.document())->heightFromTop().value_or(0), initialHeight + 1200);
}

// Neither an IntersectionObserver nor a throttled scroll listener loses a picture to the pace.
TEST_F(CollectEndToEndTest, EitherLazyLoaderDeliversEveryPicture)
{
    for (const LazyLoader loader : {LazyLoader::IntersectionObserver, LazyLoader::ThrottledScroll}) {
        SCOPED_TRACE(static_cast<int>(loader));
        const SampleItem item = m_shop.tallItem(3000, 100, loader);
        const CollectResult result = collect(item.url);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.set.descriptionPictures.addresses(), item.descriptionPictures);
    }
}

// A page that goes while the collect waits ends it as a page gone, not a wait for ever.
TEST(CollectEndToEndLifetime, PageThatGoesEndsTheWait)
{
    SampleShop shop;
    QWebEngineProfile profile;
    QWidget host;
    auto *itemBrowser = new QtPageBrowser(&profile, &host);
    itemBrowser->setParent(itemBrowser->view()); // goes with its view, as the program's do
    QtPageBrowser descriptionBrowser(&profile, &host);
    QtEventLoop loop;
    CollectCommand command{*itemBrowser, descriptionBrowser, loop};
    const auto result = started(command.run(shop.neverFinishingPage().toString()));
    ASSERT_TRUE(waitUntil([&] { return shop.server().requestCount(QStringLiteral("/pics/hang.jpg")) > 0; }));

    delete itemBrowser->view();

    ASSERT_TRUE(waitUntil([&] { return result->has_value(); }));
    EXPECT_EQ((*result)->status, CollectResult::Status::Failed);
    EXPECT_EQ(CollectMessages::failure(*(*result)),
              QStringLiteral("采集失败:采集过程中网页已跳转或重新载入,请重新采集！"));
    EXPECT_FALSE(command.isRunning());
}

TEST_F(CollectEndToEndTest, CollectsTheRootApplicationLayout)
{
    expectCollectsCurrentLayout(Generation::RootApplication);
}

// Its lower part, the description included, is rendered only once it is scrolled into view.
TEST_F(CollectEndToEndTest, CollectsTheIceContainerLayout)
{
    expectCollectsCurrentLayout(Generation::IceContainer);
}

// The document the data names is read in the unseen page, whatever the page forges; one shown is not.
TEST_F(CollectEndToEndTest, ReadsTheDescriptionDocumentThePageNames)
{
    const QString documentPath = QStringLiteral("/desc/index.html");
    for (const auto form : {DescriptionForm::ScriptModules, DescriptionForm::SellerRichText}) {
        const DescriptionDocument document = descriptionDocument(m_shop.port(), documentPath, form);
        m_shop.server().route(documentPath + QStringLiteral("?id=1&f=desc/icoss1"),
                              HttpResponse::html(document.markup));
        const QString path = QStringLiteral("/named/%1/item.htm").arg(static_cast<int>(form));
        const ItemPageMarkup page = currentLayoutPage(
            m_shop.port(), path, Generation::IceContainer, Marketplace::Tmall,
            {false,
             QStringLiteral("//127.0.0.1:%1%2?id=1&f=desc/icoss1").arg(m_shop.port()).arg(documentPath)});
        m_shop.server().route(path, HttpResponse::html(page.markup));

        const CollectResult result = collect(page.item.url);

        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.set.mainPictures.addresses(), page.item.mainPictures);
        EXPECT_EQ(result.set.colourPictures.addresses(), page.item.colourPictures);
        EXPECT_EQ(result.set.descriptionPictures.addresses(), document.pictures);
        EXPECT_EQ(result.descriptionFailure, DescriptionProblem::None);
        EXPECT_EQ(CollectMessages::summary(result.set),
                  QStringLiteral("图片采集完成,主图数:7,描述图数:5,总图数:12,可以进行下载！"));
        EXPECT_EQ(m_browser1.address(), page.item.url);
        EXPECT_TRUE(
            waitUntil([this] { return m_browser3.address() == QUrl(QStringLiteral("about:blank")); }));
    }

    const QString path = QStringLiteral("/own/item.htm");
    const ItemPageMarkup page =
        currentLayoutPage(m_shop.port(), path, Generation::IceContainer, Marketplace::Taobao,
                          {true, QStringLiteral("/desc/unused.html")});
    m_shop.server().route(path, HttpResponse::html(page.markup));
    const CollectResult result = collect(page.item.url);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.set.descriptionPictures.addresses(), page.item.descriptionPictures);
    EXPECT_EQ(result.descriptionFailure, DescriptionProblem::None);
    EXPECT_TRUE(waitUntil([this] { return m_browser3.address() == QUrl(QStringLiteral("about:blank")); }));
}

// A page served simplified is loaded again, and the whole one collected as its data names it.
TEST_F(CollectEndToEndTest, SimplifiedPageIsLoadedAgainUntilWhole)
{
    const quint16 port = m_shop.port();
    m_shop.server().route(QStringLiteral("/desc/whole.html"),
                          HttpResponse::html(QStringLiteral("<img src=\"//127.0.0.1:%1/pics/d1.jpg\">"
                                                            "<img src=\"//127.0.0.1:%1/pics/d2.jpg\">")
                                                 .arg(port)));
    const QString path = QStringLiteral("/random/item.htm");
    const QStringList gallery{QStringLiteral("g1"), QStringLiteral("g2"), QStringLiteral("g3"),
                              QStringLiteral("g4"), QStringLiteral("g5")};
    m_shop.server().routeInTurn(
        path, {HttpResponse::html(dataPage(port, gallery.mid(0, 2), gallery.mid(0, 2))),
               HttpResponse::html(dataPage(port, gallery.mid(0, 3), gallery,
                                           QStringLiteral("//127.0.0.1:%1/desc/whole.html").arg(port)))});
    QList<int> reloads;
    const auto result =
        started(m_command.run(m_shop.server().url(path).toString(), [&](const auto &progress) {
            if (progress.phase == talvesk::CollectProgress::Phase::Reloading)
                reloads.append(progress.reload);
        }));
    ASSERT_TRUE(waitUntil([&] { return result->has_value(); }));
    const CollectResult &collected = **result;

    ASSERT_TRUE(collected.ok());
    EXPECT_EQ(m_shop.server().requestCount(path), 2);
    EXPECT_TRUE(reloads.contains(1));
    EXPECT_EQ(collected.set.mainPictures.addresses(), dataPagePictures(port, gallery));
    EXPECT_EQ(collected.set.colourPictures.addresses(), dataPagePictures(port, {QStringLiteral("v1")}));
    EXPECT_EQ(collected.set.colourNames, QStringList{QStringLiteral("雾蓝")});
    EXPECT_EQ(collected.set.descriptionPictures.addresses(),
              dataPagePictures(port, {QStringLiteral("d1"), QStringLiteral("d2")}));
    EXPECT_FALSE(collected.set.simplified);
    EXPECT_TRUE(CollectMessages::notices(collected).isEmpty())
        << CollectMessages::notices(collected).join(u'\n').toStdString();
}

// A page that stays simplified is loaded three times, then collected as it is, with a notice.
TEST_F(CollectEndToEndTest, PageThatStaysSimplifiedIsSaid)
{
    const quint16 port = m_shop.port();
    const QString path = QStringLiteral("/simple/item.htm");
    m_shop.server().route(path, HttpResponse::html(dataPage(port, {QStringLiteral("g1")},
                                                            {QStringLiteral("g1"), QStringLiteral("g2")})));

    const CollectResult result = collect(m_shop.server().url(path));

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(m_shop.server().requestCount(path), 3);
    EXPECT_EQ(result.set.mainPictures.addresses(),
              dataPagePictures(port, {QStringLiteral("g1"), QStringLiteral("g2")}));
    EXPECT_TRUE(result.set.simplified);
    EXPECT_EQ(CollectMessages::notices(result),
              QStringList{QStringLiteral(
                  "消息提示:网站只给出了简化的商品页(没有描述图,主图可能不全),可稍后重新采集")});
}

// A description document leaving while it settles gives none of the other page's pictures.
TEST_F(CollectEndToEndTest, DescriptionThatNavigatesAwayGivesNothingOfTheOtherPage)
{
    const quint16 port = m_shop.port();
    m_shop.server().route(
        QStringLiteral("/desc/elsewhere.html"),
        HttpResponse::html(QStringLiteral("<img src=\"//127.0.0.1:%1/pics/x1.jpg\">").arg(port)));
    m_shop.server().route(
        QStringLiteral("/desc/leaving.html"),
        HttpResponse::html(
            QStringLiteral("<div style=\"height:1500px\"><img src=\"//127.0.0.1:%1/pics/d1.jpg\">"
                           "</div><script>var leaving = false; addEventListener('scroll', function () {"
                           " if (leaving || scrollY + innerHeight < document.body.scrollHeight - 1) return;"
                           " leaving = true; setTimeout(function () { location.href = '/desc/elsewhere.html';"
                           " }, 150); });</script>")
                .arg(port)));
    const QString path = QStringLiteral("/leaving/item.htm");
    m_shop.server().route(path,
                          HttpResponse::html(dataPage(port, {QStringLiteral("g1")}, {QStringLiteral("g1")},
                                                      QStringLiteral("/desc/leaving.html"))));

    const CollectResult result = collect(m_shop.server().url(path));

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.descriptionFailure, DescriptionProblem::Gone);
    EXPECT_TRUE(result.set.descriptionPictures.isEmpty());
}

// A description document cut short by the time limit keeps what it showed and says so.
TEST_F(CollectEndToEndTest, DescriptionCutShortKeepsWhatItShowed)
{
    const quint16 port = m_shop.port();
    m_shop.server().route(
        QStringLiteral("/desc/endless.html"),
        HttpResponse::html(QStringLiteral("<img src=\"//127.0.0.1:%1/pics/d1.jpg\"><script>var n = 0; "
                                          "setInterval(function () { var d = document.createElement('div'); "
                                          "d.style.height = '3000px'; document.body.appendChild(d); }, 20);"
                                          "</script>")
                               .arg(port)));
    const QString path = QStringLiteral("/endless/item.htm");
    m_shop.server().route(path,
                          HttpResponse::html(dataPage(port, {QStringLiteral("g1")}, {QStringLiteral("g1")},
                                                      QStringLiteral("/desc/endless.html"))));
    m_command.setTimeLimit(3);

    const CollectResult result = collect(m_shop.server().url(path));

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.descriptionCutShort, DescriptionProblem::TimedOut);
    EXPECT_EQ(result.set.descriptionPictures.addresses(), dataPagePictures(port, {QStringLiteral("d1")}));
    EXPECT_EQ(CollectMessages::notices(result),
              QStringList{QStringLiteral("消息提示:描述图未读完:描述页未能在采集时限3秒内读完")});
}

// Login and slider-check pages are named as such, and left shown; nothing is kept.
TEST_F(CollectEndToEndTest, LoginAndVerificationPagesAreNamed)
{
    const QString loginPath = QStringLiteral("/member/login.jhtml");
    m_shop.server().route(
        loginPath + QStringLiteral("?redirectURL=item"),
        HttpResponse::html(
            QStringLiteral("<html><head><title>登录</title></head><body><form><input "
                           "id=\"fm-login-id\"><input id=\"fm-login-password\" type=\"password\">"
                           "</form><img src=\"//127.0.0.1:%1/pics/qr.jpg\"></body></html>")
                .arg(m_shop.port())));
    m_shop.server().route(QStringLiteral("/login-first/item.htm"),
                          HttpResponse::redirect(loginPath.toUtf8() + "?redirectURL=item"));
    const QString checkPath = QStringLiteral("/_____tmd_____/punish");
    m_shop.server().route(checkPath, HttpResponse::html(QStringLiteral(
                                         "<html><body><div id=\"nocaptcha\"><div id=\"nc_1_wrapper\">"
                                         "请按住滑块，拖动到最右边</div></div></body></html>")));
    const QString checkedPath = QStringLiteral("/checked/item.htm");
    const ItemPageMarkup checked =
        currentLayoutPage(m_shop.port(), checkedPath, Generation::IceContainer, Marketplace::Taobao);
    m_shop.server().route(
        checkedPath,
        HttpResponse::html(
            QString(checked.markup)
                .replace(QStringLiteral("</body>"),
                         QStringLiteral("<div class=\"baxia-dialog-mask\"><iframe src=\"%1?x5secdata=1&"
                                        "action=captcha\" style=\"width:400px;height:300px\"></iframe></div>"
                                        "</body>")
                             .arg(checkPath))));

    const struct
    {
        QString path;
        QString message;
        QString shownPath;
    } cases[] = {
        {QStringLiteral("/login-first/item.htm"),
         QStringLiteral("采集失败:网站要求登录,请在浏览器中登录后重新采集"), loginPath},
        {checkedPath, QStringLiteral("采集失败:网站要求验证,请在浏览器中完成验证后重新采集"), checkedPath},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const CollectResult result = collect(m_shop.server().url(c.path));
        EXPECT_EQ(result.status, CollectResult::Status::Blocked);
        EXPECT_EQ(CollectMessages::failure(result), c.message);
        EXPECT_TRUE(result.set.mainPictures.isEmpty());
        EXPECT_EQ(m_browser1.address().path(), c.shownPath);
        EXPECT_TRUE(m_browser1.isVisible());
    }
}

// A stray classic id or a hidden check does not hide today's lists.
TEST_F(CollectEndToEndTest, StrayMarksDoNotHideTodaysGallery)
{
    const QString path = QStringLiteral("/stray/item.htm");
    const ItemPageMarkup page =
        currentLayoutPage(m_shop.port(), path, Generation::IceContainer, Marketplace::Tmall);
    m_shop.server().route(
        path,
        HttpResponse::html(
            QString(page.markup)
                .replace(QStringLiteral("<body>"),
                         QStringLiteral("<body><div id=\"description\"><img src=\"//127.0.0.1:%1/"
                                        "pics/s.gif\"></div><div class=\"baxia-dialog\" "
                                        "style=\"display:none\"><div id=\"nc_1_wrapper\"></div></div>"
                                        "<script>var tip = \"请按住滑块，拖动到最右边\";</script>"
                                        "<iframe src=\"/_____tmd_____/punish?x5secdata=1&action=captcha\" "
                                        "style=\"width:1px;height:1px;border:0\"></iframe>"
                                        "<iframe src=\"/_____tmd_____/punish?x5secdata=2&action=captcha\" "
                                        "style=\"position:absolute;left:-3000px;width:400px;height:300px\">"
                                        "</iframe>")
                             .arg(m_shop.port()))));

    const CollectResult result = collect(page.item.url);

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.set.mainPictures.addresses(), page.item.mainPictures);
    EXPECT_EQ(result.set.colourPictures.addresses(), page.item.colourPictures);
    EXPECT_EQ(result.set.descriptionPictures.addresses(), page.item.descriptionPictures);
}

// A page shown scrolled down is collected from the top, passing over no lazy picture.
TEST_F(CollectEndToEndTest, PageScrolledDownIsCollectedFromTheTop)
{
    const SampleItem item = m_shop.tallItem(3000, 6);
    ASSERT_TRUE(load(item.url));
    ASSERT_TRUE(evaluated(m_browser1, QStringLiteral("window.scrollTo(0, 2400); true")).has_value());
    ASSERT_TRUE(waitUntil([this] {
        const auto y = evaluated(m_browser1, QStringLiteral("window.scrollY"));
        return y && y->toInt() > 0;
    }));

    const CollectResult result = collect(item.url);

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.set.descriptionPictures.addresses(), item.descriptionPictures);
}
