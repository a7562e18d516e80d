// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFormTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QWebEngineView>

using talvesk::MainForm;
using talvesk::PageBrowser;
using talvesk::test::HttpResponse;
using talvesk::test::waitUntil;

namespace {

QString page(const QString &title)
{
    return QStringLiteral("<html><head><title>%1</title></head><body>%1</body></html>").arg(title);
}

class NavigationTest : public talvesk::test::MainFormFixture
{
protected:
    NavigationTest()
    {
        m_server.route(QStringLiteral("/item"), HttpResponse::html(page(QStringLiteral("A_B"))));
        m_server.route(QStringLiteral("/ITEM"), HttpResponse::html(page(QStringLiteral("C"))));
        m_server.route(QStringLiteral("/never"),
                       HttpResponse::ok("never sent").sendingOnly(0, HttpResponse::Ending::Hang));
        EXPECT_TRUE(showWindow());
        EXPECT_TRUE(waitForLoad(m_window->itemBrowser()));
        m_addressBox = control<QComboBox>(QStringLiteral("urladress"));
    }

    void typeAndEnter(const QString &text)
    {
        m_addressBox->lineEdit()->clear();
        QTest::keyClicks(m_addressBox, text);
        QTest::keyClick(m_addressBox, Qt::Key_Return);
    }

    QStringList entries() const
    {
        QStringList list;
        for (int i = 0; i < m_addressBox->count(); ++i)
            list.append(m_addressBox->itemText(i));
        return list;
    }

    QUrl shownUrl() const
    {
        return m_window->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"))->url();
    }

    QComboBox *m_addressBox = nullptr;
};

} // namespace

// Enter opens the typed address and puts it on top of the list once; letter case makes a new entry.
TEST_F(NavigationTest, EnterOpensAndRemembersAddresses)
{
    const QString item = m_server.url(QStringLiteral("/item")).toString();
    const QString upper = m_server.url(QStringLiteral("/ITEM")).toString();

    typeAndEnter(item);
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(shownUrl().path(), QStringLiteral("/item"));
    typeAndEnter(item);
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/item")), 2);
    EXPECT_EQ(entries(), QStringList{item});
    EXPECT_EQ(addressText(), item);

    typeAndEnter(upper);
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(shownUrl().path(), QStringLiteral("/ITEM"));
    EXPECT_EQ(entries(), (QStringList{upper, item}));
    EXPECT_EQ(addressText(), upper);

    typeAndEnter(item);
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(entries(), (QStringList{item, upper}));
    EXPECT_EQ(addressText(), item);

    // What the marketplace's app shares opens the address it holds, and only that is kept. It
    // is pasted: the test's key clicks type ASCII only.
    m_addressBox->lineEdit()->clear();
    m_addressBox->lineEdit()->insert(QStringLiteral("【淘宝】连衣裙 %1 点击链接直接打开").arg(upper));
    QTest::keyClick(m_addressBox, Qt::Key_Return);
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(shownUrl().path(), QStringLiteral("/ITEM"));
    EXPECT_EQ(addressText(), upper);
    EXPECT_EQ(entries(), (QStringList{upper, item}));
}

// Other keys open nothing and add nothing.
TEST_F(NavigationTest, OtherKeysOnlyEdit)
{
    const int generation = m_window->itemBrowser().loadGeneration();
    QTest::keyClicks(m_addressBox, QStringLiteral("abc"));
    QTest::keyClick(m_addressBox, Qt::Key_Tab);
    EXPECT_EQ(m_window->itemBrowser().loadGeneration(), generation);
    EXPECT_EQ(m_addressBox->count(), 0);
    EXPECT_TRUE(addressText().endsWith(QStringLiteral("abc")));
}

// Enter while the preview is shown goes back to the first tab and WebBrowser1.
TEST_F(NavigationTest, EnterReturnsToTheBrowserTab)
{
    m_window->selectTab(MainForm::Tab::Preview);
    typeAndEnter(m_server.url(QStringLiteral("/item")).toString());
    EXPECT_EQ(control<QTabBar>(QStringLiteral("TabStrip1"))->currentIndex(), 0);
    EXPECT_TRUE(m_window->itemBrowser().isVisible());
    EXPECT_FALSE(m_window->previewBrowser().isVisible());
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(shownUrl().path(), QStringLiteral("/item"));
}

// The caption is "Talvesk_" and the page's name, always cut at the base's first "_": A_B
// gives Talvesk_A_B, and a later C gives Talvesk_C.
TEST_F(NavigationTest, CaptionNamesThePage)
{
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Talvesk_Home"));
    typeAndEnter(m_server.url(QStringLiteral("/item")).toString());
    ASSERT_TRUE(waitUntil([this] { return m_window->windowTitle() == QStringLiteral("Talvesk_A_B"); }));
    typeAndEnter(m_server.url(QStringLiteral("/ITEM")).toString());
    ASSERT_TRUE(waitUntil([this] { return m_window->windowTitle() == QStringLiteral("Talvesk_C"); }))
        << m_window->windowTitle().toStdString();
}

// "载入中…" shows while WebBrowser1 loads and "加载完成" once it ends, stopped included, with
// the progress bar back at 0; Stop applies the caption rule.
TEST_F(NavigationTest, StatusTextFollowsLoads)
{
    EXPECT_EQ(statusText(), QStringLiteral("加载完成"));
    m_window->setProgress(50);
    typeAndEnter(m_server.url(QStringLiteral("/never")).toString());
    ASSERT_TRUE(waitUntil([this] { return statusText() == QStringLiteral("载入中…"); }));
    ASSERT_TRUE(waitUntil([this] { return m_server.requestCount(QStringLiteral("/never")) > 0; }));

    m_window->setWindowTitle(QStringLiteral("Talvesk_old_name"));
    control<QAction>(QStringLiteral("Stop"))->trigger();
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Talvesk_") + m_window->itemBrowser().locationName());
    EXPECT_EQ(m_window->itemBrowser().loadState(), PageBrowser::LoadState::Failed);
    ASSERT_TRUE(waitUntil([this] { return statusText() == QStringLiteral("加载完成"); }));
    EXPECT_EQ(control<QProgressBar>(QStringLiteral("ProgressBar1"))->value(), 0);
}

// Loads in WebBrowser2 change neither the caption nor the status text.
TEST_F(NavigationTest, PreviewBrowserEventsAreIgnored)
{
    const QString caption = m_window->windowTitle();
    m_window->previewBrowser().navigate(m_server.url(QStringLiteral("/item")).toString());
    ASSERT_TRUE(waitForLoad(m_window->previewBrowser()));
    ASSERT_TRUE(
        waitUntil([this] { return m_window->previewBrowser().locationName() == QStringLiteral("A_B"); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_window->windowTitle(), caption);
    EXPECT_EQ(statusText(), QStringLiteral("加载完成"));
}

// The toolbar drives WebBrowser1, also from the preview tab, which stays; Home opens the start page.
TEST_F(NavigationTest, ToolbarDrivesWebBrowser1)
{
    auto trigger = [this](const char *key) { control<QAction>(QString::fromLatin1(key))->trigger(); };
    trigger("Forward"); // nothing later in the history: ignored
    EXPECT_TRUE(m_dialogs.boxes.isEmpty());

    typeAndEnter(m_server.url(QStringLiteral("/item")).toString());
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    m_window->selectTab(MainForm::Tab::Preview);

    trigger("Back");
    ASSERT_TRUE(waitUntil([this] { return shownUrl().path() == QStringLiteral("/home"); }));
    EXPECT_EQ(control<QTabBar>(QStringLiteral("TabStrip1"))->currentIndex(), 1);
    trigger("Forward");
    ASSERT_TRUE(waitUntil([this] { return shownUrl().path() == QStringLiteral("/item"); }));
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));

    trigger("Refresh");
    ASSERT_TRUE(waitUntil([this] { return m_server.requestCount(QStringLiteral("/item")) == 2; }));

    trigger("Home");
    ASSERT_TRUE(waitUntil([this] { return shownUrl() == QUrl(QStringLiteral("about:blank")); }));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/home")), 1);
    EXPECT_TRUE(m_dialogs.boxes.isEmpty());
}

// The box shows the page shown after any navigation, so 采集 collects it; typed text stays until used.
TEST_F(NavigationTest, AddressBoxFollowsThePageShown)
{
    const QString a = m_server.url(QStringLiteral("/a")).toString();
    const QString b = m_server.url(QStringLiteral("/b")).toString();
    const QString c = m_server.url(QStringLiteral("/c")).toString();
    m_server.route(QStringLiteral("/a"), HttpResponse::html(page(QStringLiteral("A"))));
    // The link covers the page, so a click anywhere follows it.
    m_server.route(QStringLiteral("/b"), HttpResponse::html(QStringLiteral(
                                             "<html><head><title>B</title></head><body style=\"margin:0\">"
                                             "<a href=\"/c\" style=\"display:block;height:400px\">C</a>"
                                             "</body></html>")));
    m_server.route(QStringLiteral("/c"), HttpResponse::html(page(QStringLiteral("C"))));
    auto *view = m_window->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"));
    const auto shows = [&](const QString &address) {
        return waitUntil([&] {
            return shownUrl().toString() == address &&
                   m_window->itemBrowser().loadState() != PageBrowser::LoadState::Loading;
        });
    };
    const auto enterAThenB = [&] {
        typeAndEnter(a);
        ASSERT_TRUE(shows(a));
        typeAndEnter(b);
        ASSERT_TRUE(shows(b));
        ASSERT_EQ(addressText(), b);
    };
    QStringList collected;
    QObject::connect(m_window.get(), &talvesk::MainForm::collectRequested, m_window.get(),
                     [&](const QString &address) { collected.append(address); });

    ASSERT_NO_FATAL_FAILURE(enterAThenB());
    // A click the renderer gets before it has drawn B hits nothing: click again while B shows.
    for (int attempt = 0; attempt < 30 && shownUrl().toString() == b; ++attempt) {
        QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
        if (waitUntil([&] { return shownUrl().toString() != b; }, 1000))
            break;
    }
    ASSERT_TRUE(shows(c));
    EXPECT_EQ(addressText(), c);
    QTest::mouseClick(control<QPushButton>(QStringLiteral("Browser")), Qt::LeftButton);
    EXPECT_EQ(collected, QStringList{c});

    // History so far: home, A, B, C; then A, B again.
    ASSERT_NO_FATAL_FAILURE(enterAThenB());
    control<QAction>(QStringLiteral("Back"))->trigger();
    ASSERT_TRUE(shows(a));
    EXPECT_EQ(addressText(), a);
    control<QAction>(QStringLiteral("Back"))->trigger();
    ASSERT_TRUE(shows(c));
    EXPECT_EQ(addressText(), c);
    control<QAction>(QStringLiteral("Forward"))->trigger();
    ASSERT_TRUE(shows(a));
    EXPECT_EQ(addressText(), a);

    ASSERT_NO_FATAL_FAILURE(enterAThenB());
    control<QAction>(QStringLiteral("Home"))->trigger();
    ASSERT_TRUE(shows(QStringLiteral("about:blank")));
    EXPECT_EQ(addressText(), QStringLiteral("about:blank"));

    // A page's own script moves it on: the box follows that too.
    view->page()->runJavaScript(QStringLiteral("location.href = '%1'").arg(c));
    ASSERT_TRUE(shows(c));
    EXPECT_EQ(addressText(), c);

    // Typed, not yet opened: a navigation of the page leaves the user's text alone.
    m_addressBox->lineEdit()->selectAll();
    QTest::keyClicks(m_addressBox->lineEdit(), a);
    view->page()->runJavaScript(QStringLiteral("location.href = '/b'"));
    ASSERT_TRUE(shows(b));
    EXPECT_EQ(addressText(), a);

    m_window->previewBrowser().navigateBlank();
    ASSERT_TRUE(waitForLoad(m_window->previewBrowser()));
    EXPECT_EQ(addressText(), a);
    EXPECT_EQ(entries(), (QStringList{b, a}));
}

// Ctrl+L, Alt+Left, Alt+Right and F5 work as in a browser, also while the page has the focus.
TEST_F(NavigationTest, BrowserKeys)
{
    typeAndEnter(m_server.url(QStringLiteral("/item")).toString());
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    QWidget *page = m_window->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"))->focusProxy();
    ASSERT_NE(page, nullptr);
    page->setFocus();
    ASSERT_TRUE(waitUntil([page] { return page->hasFocus(); }));

    QTest::keyClick(page, Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([this] { return shownUrl().path() == QStringLiteral("/home"); }));
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    QTest::keyClick(page, Qt::Key_Right, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([this] { return shownUrl().path() == QStringLiteral("/item"); }));
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    const int asked = m_server.requestCount(QStringLiteral("/item"));
    QTest::keyClick(page, Qt::Key_F5);
    ASSERT_TRUE(waitUntil([&] { return m_server.requestCount(QStringLiteral("/item")) == asked + 1; }));

    QTest::keyClick(page, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(m_addressBox->lineEdit()->hasFocus());
    EXPECT_EQ(m_addressBox->lineEdit()->selectedText(), addressText());
    EXPECT_FALSE(addressText().isEmpty());
}
