// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectCommand.h"
#include "collect/CollectMessages.h"

#include "app/WaitUntil.h"
#include "collect/PictureList.h"
#include "platform/WindowControls.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageBrowser.h"
#include "support/CurrentLayoutPages.h"
#include "support/FakeWindow.h"
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
using talvesk::PageBrowser;
using talvesk::PictureList;
using talvesk::QtEventLoop;
using talvesk::QtPageBrowser;
using talvesk::WindowControls;
using talvesk::test::currentLayoutPage;
using talvesk::test::evaluated;
using talvesk::test::FakeMessageList;
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

QStringList filled(const PictureList &list)
{
    QStringList used;
    for (int i = 0; i < PictureList::kSlots && list[i] != PictureList::nullSlot(); ++i)
        used.append(list[i]);
    return used;
}

bool allNull(const PictureList &list)
{
    return filled(list).isEmpty() && list[0] == PictureList::nullSlot();
}

// The window's part for the collect: the address box and the tabs showing one browser each.
class TestWindowControls final : public WindowControls
{
public:
    TestWindowControls(QtPageBrowser &browse, QtPageBrowser &preview) : m_browse(browse), m_preview(preview)
    {
    }

    bool windowEnabled = true;
    QList<Tab> selectedTabs;

    void selectTab(Tab tab) override
    {
        selectedTabs.append(tab);
        m_browse.setVisible(tab == Tab::Browse);
        m_preview.setVisible(tab == Tab::Preview);
    }
    void setWindowEnabled(bool enabled) override { windowEnabled = enabled; }

private:
    QtPageBrowser &m_browse;
    QtPageBrowser &m_preview;
};

class CollectEndToEndTest : public ::testing::Test
{
protected:
    CollectEndToEndTest()
    {
        m_host.resize(1024, 768);
        for (QtPageBrowser *browser : {&m_browser1, &m_browser2}) {
            browser->setSilent(true);
            browser->view()->setGeometry(0, 0, 1024, 768);
        }
        m_browser2.setVisible(false);
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

    int previewPictureCount()
    {
        const auto count = evaluated(m_browser2, QStringLiteral("document.images.length"));
        return count ? count->toInt() : -1;
    }

    void expectCollected(const CollectResult &result, const SampleItem &item, const QString &summary)
    {
        ASSERT_TRUE(result.ok()) << result.errorString.toStdString();
        EXPECT_EQ(filled(result.set.mainPictures), item.mainPictures);
        EXPECT_EQ(filled(result.set.colourPictures), item.colourPictures);
        EXPECT_EQ(filled(result.set.descriptionPictures), item.descriptionPictures);
        EXPECT_EQ(result.set.itemTitle, item.itemTitle);
        EXPECT_EQ(m_messages.lines.value(0), summary);
        // The collect's own line, with its final time.
        EXPECT_TRUE(m_messages.lines.value(1).startsWith(QStringLiteral("消息提示:图片采集中,估算已用时")))
            << m_messages.lines.value(1).toStdString();
        EXPECT_EQ(previewPictureCount(),
                  item.mainPictures.size() + item.colourPictures.size() + item.descriptionPictures.size());
        EXPECT_TRUE(m_browser2.isVisible());
        EXPECT_FALSE(m_browser1.isVisible());
        EXPECT_TRUE(m_window.windowEnabled);
    }

    void expectFailed(const CollectResult &result, const QString &message)
    {
        EXPECT_EQ(result.status, CollectResult::Status::Failed);
        EXPECT_EQ(m_messages.lines.value(0), message);
        EXPECT_TRUE(m_window.windowEnabled);
        EXPECT_TRUE(result.set.itemTitle.isEmpty());
        EXPECT_TRUE(allNull(result.set.mainPictures));
        EXPECT_TRUE(allNull(result.set.colourPictures));
        EXPECT_TRUE(allNull(result.set.descriptionPictures));
    }

    // Today's page of the generation on both marketplaces: the gallery's thumbnails, the
    // variants' pictures and the description's, each once, at full size, in order; nothing of
    // the page's noise; the lazy description pictures at their real addresses.
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
        }
    }

    SampleShop m_shop;
    QWebEngineProfile m_profile; // off the record
    QWidget m_host;
    QtPageBrowser m_browser1{&m_profile, &m_host};
    QtPageBrowser m_browser2{&m_profile, &m_host};
    QtEventLoop m_loop;
    FakeMessageList m_messages;
    TestWindowControls m_window{m_browser1, m_browser2};
    CollectCommand m_command{m_browser1, m_browser2, m_window, m_messages, m_loop};
};

} // namespace

// The sample page reads as the tests assume: its description pictures are not in the
// markup until they are scrolled into view, so a collect that did not scroll would miss
// them, and the swatch a script touched is re-serialised with &quot; around its address.
TEST_F(CollectEndToEndTest, SamplePageAsTheEngineSerialisesIt)
{
    const SampleItem item = m_shop.taobaoItem();
    ASSERT_TRUE(load(item.url));
    SyncDocument document(m_browser1.document());
    const auto divs = document->elementsByTagName(QStringLiteral("div"),
                                                  {QStringLiteral("description"), QStringLiteral("J_isku")});
    ASSERT_TRUE(divs.has_value());
    QString description;
    QString sku;
    for (const auto &div : *divs) {
        if (div.id == QStringLiteral("description"))
            description = div.innerHtml;
        else if (div.id == QStringLiteral("J_isku"))
            sku = div.innerHtml;
    }
    const QString firstPicture = item.descriptionPictures.first().mid(5); // without "http:"
    EXPECT_TRUE(description.contains(QStringLiteral("data-pic=\"") + firstPicture))
        << qPrintable(description);
    EXPECT_FALSE(description.contains(QStringLiteral("src=\"") + firstPicture)) << qPrintable(description);
    const QString lastColour = item.colourPictures.last().mid(5);
    EXPECT_TRUE(sku.contains(QStringLiteral("style=\"background: url(&quot;") + lastColour))
        << qPrintable(sku);
}

// A page that grows while it is scrolled is scrolled to its final end.
TEST_F(CollectEndToEndTest, FollowsAPageThatGrows)
{
    const SampleItem item = m_shop.growingItem();
    ASSERT_TRUE(load(item.url));
    const int initialHeight = SyncDocument(m_browser1.document())->bodyScrollHeight().value_or(0);

    expectCollected(collect(item.url), item,
                    QStringLiteral("图片采集完成,主图数:2,描述图数:10,总图数:12,可以进行下载！"));
    // Four blocks of two 150 px places.
    EXPECT_GE(SyncDocument(m_browser1.document())->bodyScrollHeight().value_or(0), initialHeight + 1200);
}

// Scrolling at the event loop's pace loses no lazily shown picture, whether the page is told
// of them by an IntersectionObserver or checks on scroll events at most every 100 ms.
TEST_F(CollectEndToEndTest, EitherLazyLoaderDeliversEveryPicture)
{
    for (const LazyLoader loader : {LazyLoader::IntersectionObserver, LazyLoader::ThrottledScroll}) {
        SCOPED_TRACE(static_cast<int>(loader));
        const SampleItem item = m_shop.tallItem(3000, 100, loader);
        const CollectResult result = collect(item.url);
        ASSERT_TRUE(result.ok()) << result.errorString.toStdString();
        EXPECT_EQ(filled(result.set.descriptionPictures), item.descriptionPictures);
    }
}

// A page whose own script blocks it past the read time-out fails the collect as unresponsive,
// not as a page that went away.
TEST_F(CollectEndToEndTest, BlockedPageScriptFailsAsUnresponsive)
{
    const SampleItem previous = m_shop.tmallItem();
    ASSERT_TRUE(collect(previous.url).ok());
    m_shop.server().route(
        QStringLiteral("/blocking/item.htm"),
        talvesk::test::HttpResponse::html(QStringLiteral(
            "<html><head><title>卡住的样品</title></head><body><div style=\"height:200000px\"></div><script>"
            "addEventListener('load', function () { setTimeout(function () {"
            " var end = Date.now() + 3000; while (Date.now() < end) {} }, 200); "
            "});</script></body></html>")));
    m_browser1.setScriptTimeout(500);

    expectFailed(collect(m_shop.server().url(QStringLiteral("/blocking/item.htm"))),
                 QStringLiteral("采集失败:网页脚本无响应"));
}

// A page without a title element fails cleanly after its scroll phase.
TEST_F(CollectEndToEndTest, PageWithoutTitleFailsCleanly)
{
    const SampleItem previous = m_shop.tmallItem();
    ASSERT_TRUE(collect(previous.url).ok());

    expectFailed(collect(m_shop.untitledPage()),
                 QStringLiteral("采集失败:网页没有标题(title)元素,无法取得宝贝标题！"));
}

// A page that goes while the collect waits for it ends the collect as a page gone, instead of
// leaving it waiting for ever.
TEST(CollectEndToEndLifetime, PageThatGoesEndsTheWait)
{
    SampleShop shop;
    QWebEngineProfile profile;
    QWidget host;
    auto *itemBrowser = new QtPageBrowser(&profile, &host);
    itemBrowser->setParent(itemBrowser->view()); // goes with its view, as the program's do
    QtPageBrowser previewBrowser(&profile, &host);
    QtEventLoop loop;
    FakeMessageList messages;
    TestWindowControls window{*itemBrowser, previewBrowser};
    CollectCommand command{*itemBrowser, previewBrowser, window, messages, loop};
    const auto result = started(command.run(shop.neverFinishingPage().toString()));
    ASSERT_TRUE(waitUntil([&] { return shop.server().requestCount(QStringLiteral("/pics/hang.jpg")) > 0; }));

    delete itemBrowser->view();

    ASSERT_TRUE(waitUntil([&] { return result->has_value(); }));
    EXPECT_EQ((*result)->status, CollectResult::Status::Failed);
    EXPECT_EQ((*result)->errorString, QStringLiteral("采集失败:采集过程中网页已跳转或重新载入,请重新采集！"));
    EXPECT_FALSE(command.isRunning());
}

// The shop's pictures are real pictures, each with bytes of its own.
TEST(SampleShopPictures, AreDistinctDecodablePictures)
{
    const QByteArray jpeg = SampleShop::pictureBytes(QStringLiteral("/pics/tb/main1.jpg"));
    const QByteArray png = SampleShop::pictureBytes(QStringLiteral("/pics/tb/desc3.png"));
    EXPECT_EQ(QImage::fromData(jpeg, "JPEG").size(), QSize(16, 16));
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), QSize(16, 16));
    EXPECT_NE(jpeg, SampleShop::pictureBytes(QStringLiteral("/pics/tb/main2.jpg")));
    EXPECT_NE(png, SampleShop::pictureBytes(QStringLiteral("/pics/tb/desc4.png")));
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
