// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PreviewPage.h"

#include "support/FakeEventLoop.h"
#include "support/FakePageBrowser.h"

#include <gtest/gtest.h>

using talvesk::buildPreviewPage;
using talvesk::CollectedSet;
using talvesk::PageBrowser;
using talvesk::PictureList;
using talvesk::PreviewResult;
using talvesk::writePreviewPage;
using talvesk::test::FakeEventLoop;
using talvesk::test::FakePageBrowser;
using talvesk::test::runToEnd;

namespace {

const QString kAddress = QStringLiteral("https://item.example/item.htm?id=1");

QString pic(const char *list, int i)
{
    return QStringLiteral("http://img.example/%1/%2.jpg").arg(QLatin1String(list)).arg(i);
}

CollectedSet emptySet(const QString &title = QStringLiteral("宝贝"))
{
    CollectedSet set;
    set.itemTitle = title;
    return set;
}

void fill(PictureList &list, const char *name, int n)
{
    list.clear();
    for (int i = 0; i < n; ++i)
        list.append(pic(name, i));
}

QString markup(const CollectedSet &set, const QString &address = kAddress)
{
    return buildPreviewPage(set, address);
}

} // namespace

// Every text the page gave is escaped: the title, the addresses and the variants' names.
TEST(PreviewPage, TitleAddressesAndNamesAreEscaped)
{
    CollectedSet set = emptySet(QStringLiteral("<script>alert('x')</script> \"q\" & co"));
    set.mainPictures.append(QStringLiteral("http://a/x.jpg\" onerror=\"alert(1)"));
    set.descriptionPictures.append(QStringLiteral("http://a/<b>.png"));
    set.colourPictures.append(QStringLiteral("http://a/c.jpg"));
    set.colourNames = {QStringLiteral("<img src=x onerror=alert(2)>红")};
    const QString all = markup(set, QStringLiteral("http://a/?q=\"><script>x</script>&b='1'"));
    EXPECT_TRUE(all.startsWith(QStringLiteral(
        "<font fontsize=9>宝贝标题:&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &quot;q&quot; "
        "&amp; co</font><p><font fontsize=9>宝贝网址:http://a/?q=&quot;&gt;&lt;script&gt;x&lt;/"
        "script&gt;&amp;b=&#39;1&#39;</font><p>")));
    EXPECT_TRUE(all.contains(
        QStringLiteral("<img width=310 height=310 src=\"http://a/x.jpg&quot; onerror=&quot;alert(1) \">")));
    EXPECT_TRUE(all.contains(QStringLiteral("<img width=750  src=\"http://a/&lt;b&gt;.png \">")));
    EXPECT_TRUE(all.contains(QStringLiteral("<small>&lt;img src=x onerror=alert(2)&gt;红</small>")));
    EXPECT_FALSE(all.contains(QStringLiteral("<script")));
    EXPECT_FALSE(all.contains(QStringLiteral("<img src=x")));
    EXPECT_FALSE(all.contains(QStringLiteral("\" onerror")));
}

// --- writePreviewPage against the fakes ---------------------------------------------------

// A preview browser and the loop it waits in.
struct PreviewRig
{
    PreviewRig() { loop.watch(browser); }
    PreviewResult write(const CollectedSet &set)
    {
        return runToEnd(loop, writePreviewPage(browser, loop, set, kAddress));
    }

    FakeEventLoop loop;
    FakePageBrowser browser;
};

TEST(WritePreview, WaitsForTheBlankPageThenWritesTheFragments)
{
    PreviewRig rig;
    rig.browser.stateAfterNavigate = PageBrowser::LoadState::Loading;
    rig.loop.onYield([&](int n) {
        if (n <= 3) {
            EXPECT_TRUE(rig.browser.written.isEmpty()) << "turn " << n;
        }
        if (n == 3)
            rig.browser.state = PageBrowser::LoadState::Finished;
    });
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 4);
    fill(set.descriptionPictures, "d", 1);
    const auto result = rig.write(set);
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.errorString.isEmpty());
    EXPECT_EQ(rig.browser.written.join(QString()).count(QStringLiteral("<img ")), 4 + 1);
    EXPECT_EQ(rig.browser.navigations, QStringList{QStringLiteral("about:blank")});
    EXPECT_EQ(rig.loop.yields(), 3 + 1); // the load, then the write's answer
    EXPECT_EQ(rig.browser.written.join(QString()), buildPreviewPage(set, kAddress));
}

TEST(WritePreview, ReturnsToTheLoopOnceEvenWhenReadyAtOnce)
{
    PreviewRig rig; // navigation finishes at once
    EXPECT_TRUE(rig.write(emptySet()).ok());
    EXPECT_EQ(rig.loop.yields(), 1 + 1);
    EXPECT_EQ(rig.browser.written.size(), 1);
}

TEST(WritePreview, BlankPageFailsToLoad)
{
    PreviewRig rig;
    rig.browser.stateAfterNavigate = PageBrowser::LoadState::Loading;
    rig.loop.onYield([&](int n) {
        if (n == 2)
            rig.browser.state = PageBrowser::LoadState::Failed;
    });
    const auto result = rig.write(emptySet());
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.errorString, QStringLiteral("空白页未能载入"));
    EXPECT_TRUE(rig.browser.written.isEmpty());
}

TEST(WritePreview, NoDocumentOrWriteRefused)
{
    PreviewRig noDocument;
    noDocument.browser.hasDocument = false;
    auto result = noDocument.write(emptySet());
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.errorString.isEmpty());

    PreviewRig readOnly;
    readOnly.browser.writable = false;
    result = readOnly.write(emptySet());
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.errorString.isEmpty());
}
