// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtPageBrowser.h"

#include "app/WaitUntil.h"
#include "support/LocalHttpServer.h"
#include "support/SyncDocument.h"

#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

using talvesk::PageAnswer;
using talvesk::PageBrowser;
using talvesk::PageElement;
using talvesk::QtPageBrowser;
using talvesk::ReadFailure;
using talvesk::ScrollHandling;
using talvesk::test::evaluated;
using talvesk::test::HttpResponse;
using talvesk::test::LocalHttpServer;
using talvesk::test::SyncDocument;
using talvesk::test::waitUntil;

namespace {

const QString kItemPage = QStringLiteral(R"(<!DOCTYPE html>
<html><head><title>宝贝 Item</title></head>
<body style="margin:0">
<div id="detail"><img data-src="//img.example/a_50x50.jpg"></div>
<div id="J_isku"><div id="inner">x</div></div>
<div id="description" style="height:3000px">描述</div>
<div>no id</div>
</body></html>)");

class QtPageBrowserTest : public ::testing::Test
{
protected:
    QtPageBrowserTest()
    {
        m_server.route(QStringLiteral("/item"), HttpResponse::html(kItemPage));
        m_server.route(QStringLiteral("/other"),
                       HttpResponse::html(
                           QStringLiteral("<html><head><title>Other</title></head><body></body></html>")));
        m_server.route(QStringLiteral("/untitled"),
                       HttpResponse::html(QStringLiteral("<html><body>x</body></html>")));
        m_server.route(
            QStringLiteral("/alerts"),
            HttpResponse::html(QStringLiteral("<html><head><title>before</title></head><body><script>"
                                              "alert('hi'); var c = confirm('sure?'); prompt('name?');"
                                              "document.title = 'after ' + c;</script></body></html>")));
        m_server.route(QStringLiteral("/busy"),
                       HttpResponse::html(QStringLiteral(
                           "<html><head><title>Busy</title><script>function busy(ms) {"
                           " var end = Date.now() + ms; while (Date.now() < end) {} }</script></head>"
                           "<body>busy</body></html>")));
        m_browser.setSilent(true);
    }

    // Navigates and waits for the load to end, successfully or not.
    bool load(const QString &path)
    {
        m_browser.navigate(m_server.url(path).toString());
        return waitUntil([this] { return m_browser.loadState() != PageBrowser::LoadState::Loading; });
    }

    QWebEnginePage *page() { return m_browser.view()->page(); }

    LocalHttpServer m_server;
    QWebEngineProfile m_profile; // off the record: tests leave nothing on disk
    QtPageBrowser m_browser{&m_profile, nullptr};
};

} // namespace

// The reads answer from the live page: height, divs in document order, title, a scroll.
TEST_F(QtPageBrowserTest, ReadsTheDocumentSynchronously)
{
    ASSERT_TRUE(load(QStringLiteral("/item")));
    ASSERT_EQ(m_browser.loadState(), PageBrowser::LoadState::Finished);
    ASSERT_TRUE(m_browser.document());
    SyncDocument document(m_browser.document());

    const auto height = document->heightFromTop();
    ASSERT_TRUE(height.has_value());
    EXPECT_GE(*height, 3000);

    const auto divs = document->blocks({QStringLiteral("detail"), QStringLiteral("J_isku")});
    ASSERT_TRUE(divs.has_value());
    QStringList ids;
    for (const PageElement &div : *divs)
        ids.append(div.id);
    EXPECT_EQ(ids, (QStringList{QStringLiteral("detail"), QStringLiteral("J_isku")}));
    EXPECT_EQ(divs->at(0).innerHtml, QStringLiteral("<img data-src=\"//img.example/a_50x50.jpg\">"));
    EXPECT_EQ(divs->at(1).innerHtml, QStringLiteral("<div id=\"inner\">x</div>"));

    EXPECT_EQ(document->firstInnerText(QStringLiteral("title")), QStringLiteral("宝贝 Item"));
    EXPECT_EQ(document->firstInnerText(QStringLiteral("article")), std::nullopt);

    EXPECT_EQ(document->scrollByReadingHeight(0, 500), height);
    EXPECT_EQ(evaluated(m_browser, QStringLiteral("window.scrollY"))->toInt(), 500);
}

// A scroll counts as handled only after the work its handler left to the next frame; a hidden page
// says at once that nothing is left to wait for.
TEST_F(QtPageBrowserTest, ScrollHandlingIncludesWorkLeftToTheNextFrame)
{
    m_server.route(QStringLiteral("/late"),
                   HttpResponse::html(QStringLiteral(
                       "<html><body style=\"margin:0;height:2000px\"><script>"
                       "addEventListener('scroll', function () { requestAnimationFrame(function () {"
                       " setTimeout(function () { var end = Date.now() + 50; while (Date.now() < end) {}"
                       " document.body.style.height = '3000px'; }, 0); }); });"
                       "</script></body></html>")));
    ASSERT_TRUE(load(QStringLiteral("/late")));
    SyncDocument document(m_browser.document());
    const auto hidden = document->scrollHandling(true);
    ASSERT_TRUE(hidden.has_value());
    EXPECT_EQ(hidden->stage, ScrollHandling::Stage::Handled);

    m_browser.view()->resize(800, 600);
    m_browser.view()->show();
    ASSERT_TRUE(
        waitUntil([this] { return !evaluated(m_browser, QStringLiteral("document.hidden"))->toBool(); }));
    EXPECT_EQ(document->scrollByReadingHeight(0, 1000), 2000);
    std::optional<ScrollHandling> handling = document->scrollHandling(true);
    ASSERT_TRUE(waitUntil([&] {
        handling = document->scrollHandling(false);
        return !handling || handling->stage == ScrollHandling::Stage::Handled;
    }));
    ASSERT_TRUE(handling.has_value());
    EXPECT_EQ(handling->height, 3000);
}

// Loading from navigate() on; Finished, also over a load still running; Failed if unreachable or stopped.
TEST_F(QtPageBrowserTest, FollowsTheLoadState)
{
    const int before = m_browser.loadGeneration();
    m_browser.navigate(m_server.url(QStringLiteral("/other")).toString());
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Loading);
    ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() == PageBrowser::LoadState::Finished; }));
    EXPECT_EQ(m_browser.loadGeneration(), before + 1);
    EXPECT_EQ(m_browser.locationName(), QStringLiteral("Other"));

    // Nothing listens on port 1 of this machine: the connection is refused.
    m_browser.navigate(QStringLiteral("http://127.0.0.1:1/x"));
    ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() != PageBrowser::LoadState::Loading; }));
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Failed);

    m_server.route(QStringLiteral("/never"),
                   HttpResponse::ok("never sent").sendingOnly(0, HttpResponse::Ending::Hang));
    m_browser.navigate(m_server.url(QStringLiteral("/never")).toString());
    ASSERT_TRUE(waitUntil([this] { return m_server.requestCount(QStringLiteral("/never")) > 0; }));
    // The engine reports no start for this one, only the end of its loading.
    m_browser.navigate(m_server.url(QStringLiteral("/other")).toString());
    ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() != PageBrowser::LoadState::Loading; }));
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Finished);

    m_browser.navigate(m_server.url(QStringLiteral("/never")).toString());
    ASSERT_TRUE(waitUntil([this] { return m_server.requestCount(QStringLiteral("/never")) > 1; }));
    m_browser.stop();
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Failed);
}

// An address typed without a scheme is completed; a page without a title is named by its address.
TEST_F(QtPageBrowserTest, CompletesAddressesAndNamesUntitledPages)
{
    const QUrl url = m_server.url(QStringLiteral("/untitled"));
    m_browser.navigate(url.authority() + url.path());
    ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() != PageBrowser::LoadState::Loading; }));
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Finished);
    EXPECT_EQ(page()->url(), url);
    EXPECT_TRUE(m_browser.locationName().contains(url.authority())) << m_browser.locationName().toStdString();
}

// A silent page answers alert, confirm and prompt itself: the page's script runs to its end.
TEST_F(QtPageBrowserTest, SilentPageShowsNoDialogs)
{
    ASSERT_TRUE(load(QStringLiteral("/alerts")));
    ASSERT_TRUE(waitUntil([this] { return m_browser.locationName().startsWith(QStringLiteral("after")); }));
    EXPECT_EQ(m_browser.locationName(), QStringLiteral("after true"));
}

// A document taken before a navigation fails its reads afterwards instead of reading the new page.
TEST_F(QtPageBrowserTest, StaleDocumentFails)
{
    ASSERT_TRUE(load(QStringLiteral("/item")));
    SyncDocument stale(m_browser.document());
    ASSERT_TRUE(load(QStringLiteral("/other")));
    EXPECT_EQ(stale->heightFromTop(), std::nullopt);
    EXPECT_EQ(stale->blocks({}), std::nullopt);
    EXPECT_EQ(stale->firstInnerText(QStringLiteral("title")), std::nullopt);
    EXPECT_EQ(stale->scrollByReadingHeight(0, 1), std::nullopt);
    EXPECT_EQ(SyncDocument(m_browser.document())->firstInnerText(QStringLiteral("title")),
              QStringLiteral("Other"));
}

// A read waiting for a busy page ends as gone, not timed out, when a navigation starts.
TEST_F(QtPageBrowserTest, WaitingReadEndsWhenThePageNavigates)
{
    ASSERT_TRUE(load(QStringLiteral("/busy")));
    SyncDocument document(m_browser.document());
    page()->runJavaScript(QStringLiteral("busy(5000)"));
    QTimer::singleShot(100, &m_browser,
                       [this] { m_browser.navigate(m_server.url(QStringLiteral("/other")).toString()); });
    const PageAnswer<int> height = document->heightFromTopAnswer();
    EXPECT_FALSE(height);
    EXPECT_EQ(height.failure(), ReadFailure::Gone);
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Loading);
}

// A read unanswered in time ends as unresponsive; the page answers the next one once free.
TEST_F(QtPageBrowserTest, WaitingReadIsBoundedInTime)
{
    ASSERT_TRUE(load(QStringLiteral("/busy")));
    m_browser.setScriptTimeLimit(1000);
    SyncDocument document(m_browser.document());
    page()->runJavaScript(QStringLiteral("busy(1500)"));
    const PageAnswer<QString> title = document->firstInnerTextAnswer(QStringLiteral("title"));
    EXPECT_FALSE(title);
    EXPECT_EQ(title.failure(), ReadFailure::Unresponsive);
    EXPECT_EQ(document->firstInnerText(QStringLiteral("title")), QStringLiteral("Busy"));
}

// A read waiting when its browser goes fails then, once; the engine's late answer adds nothing.
TEST(QtPageBrowserLifetime, WaitingReadSurvivesTheBrowser)
{
    LocalHttpServer server;
    server.route(QStringLiteral("/busy"), HttpResponse::html(QStringLiteral(
                                              "<html><head><title>Busy</title></head><body></body></html>")));
    QWebEngineProfile profile;
    auto *browser = new QtPageBrowser(&profile, nullptr);
    browser->navigate(server.url(QStringLiteral("/busy")).toString());
    ASSERT_TRUE(waitUntil([browser] { return browser->loadState() == PageBrowser::LoadState::Finished; }));
    auto document = browser->document();
    browser->view()->page()->runJavaScript(
        QStringLiteral("var end = Date.now() + 1000; while (Date.now() < end) {}"));
    int answers = 0;
    document->firstInnerText(QStringLiteral("title"),
                             [&answers](const PageAnswer<QString> &title) { answers += title ? 100 : 1; });
    delete browser;
    EXPECT_EQ(answers, 1);

    // Another page loading to its end shows the loop has run past the answer's time.
    QtPageBrowser other(&profile, nullptr);
    other.navigate(server.url(QStringLiteral("/busy")).toString());
    ASSERT_TRUE(waitUntil([&other] { return other.loadState() == PageBrowser::LoadState::Finished; }));
    EXPECT_EQ(answers, 1);
    document->scrollToTopReadingHeight(
        [&answers](const PageAnswer<int> &height) { answers += height ? 10 : 1; });
    ASSERT_TRUE(waitUntil([&answers] { return answers > 1; }));
    EXPECT_EQ(answers, 2);
}

// A navigation the page starts is a new load, also over its own load still running and into the
// same view (a new window, a target=_blank link); a server's redirect or a new fragment is not.
TEST_F(QtPageBrowserTest, PageNavigatingItselfIsANewLoad)
{
    for (const QString &move :
         {QStringLiteral("location.href = '/other'"), QStringLiteral("location.replace('/other')"),
          QStringLiteral("window.open('/other')"),
          QStringLiteral("var a = document.createElement('a'); a.target = '_blank'; a.href = '/other';"
                         " document.documentElement.appendChild(a); a.click()")}) {
        SCOPED_TRACE(move.toStdString());
        m_server.route(QStringLiteral("/moves"),
                       HttpResponse::html(QStringLiteral("<html><head><script>%1</script></head><body>"
                                                         "<img src=\"/never\"></body></html>")
                                              .arg(move)));
        m_server.route(QStringLiteral("/never"),
                       HttpResponse::ok("never sent").sendingOnly(0, HttpResponse::Ending::Hang));
        m_browser.navigate(m_server.url(QStringLiteral("/moves")).toString());
        const int own = m_browser.loadGeneration();
        ASSERT_TRUE(waitUntil([this] { return page()->url().path() == QStringLiteral("/other"); }));
        ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() != PageBrowser::LoadState::Loading; }));
        EXPECT_GT(m_browser.loadGeneration(), own);
    }

    m_server.route(QStringLiteral("/redirected"), HttpResponse::redirect("/item"));
    m_browser.navigate(m_server.url(QStringLiteral("/redirected")).toString());
    const int redirected = m_browser.loadGeneration();
    ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() != PageBrowser::LoadState::Loading; }));
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Finished);
    EXPECT_EQ(page()->url().path(), QStringLiteral("/item"));
    EXPECT_EQ(m_browser.loadGeneration(), redirected);

    const int loaded = m_browser.loadGeneration();
    page()->runJavaScript(QStringLiteral("location.hash = 'more'"));
    ASSERT_TRUE(waitUntil([this] { return page()->url().fragment() == QStringLiteral("more"); }));
    EXPECT_EQ(m_browser.loadGeneration(), loaded);
}

// An address longer than the engine takes fails at once instead of loading for ever.
TEST_F(QtPageBrowserTest, OverlongAddressFailsAtOnce)
{
    const int before = m_browser.loadGeneration();
    m_browser.navigate(m_server.url(QStringLiteral("/item")).toString() + QStringLiteral("?q=") +
                       QString(2 * 1024 * 1024, QLatin1Char('a')));
    EXPECT_EQ(m_browser.loadState(), PageBrowser::LoadState::Failed);
    EXPECT_GT(m_browser.loadGeneration(), before);
}

// Markup written into the blank page is the document, fragment by fragment, and nothing else.
TEST_F(QtPageBrowserTest, WritesIntoTheBlankPage)
{
    m_browser.navigateBlank();
    ASSERT_TRUE(waitUntil([this] { return m_browser.loadState() == PageBrowser::LoadState::Finished; }));
    SyncDocument document(m_browser.document());
    const QStringList fragments{QStringLiteral("<html><head><title>预览</title></head><body>"),
                                QStringLiteral("<p>\"quotes\" and 'single' \\ </p>"),
                                QStringLiteral("<img src=\"http://127.0.0.1/a.jpg\"></body></html>")};
    for (const QString &fragment : fragments)
        ASSERT_TRUE(document->write(fragment));
    const auto markup = evaluated(m_browser, QStringLiteral("document.documentElement.outerHTML"));
    ASSERT_TRUE(markup.has_value());
    EXPECT_EQ(markup->toString(), fragments.join(QString()));
    EXPECT_EQ(document->firstInnerText(QStringLiteral("title")), QStringLiteral("预览"));
}
