// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/PreviewPage.h"

#include "platform/Waits.h"
#include "support/FakeEventLoop.h"
#include "support/FakePageBrowser.h"

#include <gtest/gtest.h>

using talvesk::buildPreviewPage;
using talvesk::CollectedSet;
using talvesk::PageBrowser;
using talvesk::PictureList;
using talvesk::PreviewResult;
using talvesk::Waits;
using talvesk::writePreviewPage;
using talvesk::test::FakeEventLoop;
using talvesk::test::FakePageBrowser;
using talvesk::test::runToEnd;
using talvesk::test::started;

namespace {

const QString kAddress = QStringLiteral("https://item.example/item.htm?id=1");

// The page's start for the title "宝贝" and kAddress, and its end when the colour and
// description sections are empty.
const QString kHead =
    QStringLiteral("<font fontsize=9>宝贝标题:宝贝</font><p><font fontsize=9>宝贝网址:"
                   "https://item.example/item.htm?id=1</font><p><font fontsize=8>主图缩略图:</font><p>");
const QString kNoColourNoDescription =
    QStringLiteral("<p><p><font fontsize=8>颜色缩略图:</font><p><p><font fontsize=8>描述缩略图:</font><p>");

QString pic(const char *list, int i)
{
    return QStringLiteral("http://img.example/%1/%2.jpg").arg(QLatin1String(list)).arg(i);
}

// One picture's markup, small (main and colour) or wide (description).
QString small(const char *list, int i)
{
    return QStringLiteral("<img width=310 height=310 src=\"http://img.example/%1/%2.jpg \">&nbsp;</img>")
        .arg(QLatin1String(list))
        .arg(i);
}
QString wide(const char *list, int i)
{
    return QStringLiteral("<img width=750  src=\"http://img.example/%1/%2.jpg \">&nbsp;</img>")
        .arg(QLatin1String(list))
        .arg(i);
}

CollectedSet emptySet(const QString &title = QStringLiteral("宝贝"))
{
    CollectedSet set;
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    set.itemTitle = title;
    return set;
}

void fill(PictureList &list, const char *name, int n)
{
    for (int i = 0; i < n; ++i)
        list[i] = pic(name, i);
}

QString markup(const CollectedSet &set, const QString &address = kAddress)
{
    return buildPreviewPage(set, address).fragments.join(QString());
}

} // namespace

TEST(PreviewPage, EmptySet)
{
    const auto page = buildPreviewPage(emptySet(), kAddress);
    EXPECT_EQ(page.counts.main, 0);
    EXPECT_EQ(page.counts.colour, 0);
    EXPECT_EQ(page.counts.description, 0);
    EXPECT_EQ(page.fragments.join(QString()),
              QStringLiteral(
                  "<font fontsize=9>宝贝标题:宝贝</font><p><font fontsize=9>宝贝网址:"
                  "https://item.example/item.htm?id=1</font><p><font fontsize=8>主图缩略图:</font><p>"
                  "<p><p><font fontsize=8>颜色缩略图:</font><p><p><font fontsize=8>描述缩略图:</font><p>"));
}

// Small pictures take a break after every third; the section ends with two more.
TEST(PreviewPage, BreakAfterEveryThirdSmallPicture)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 3);
    EXPECT_EQ(markup(set), kHead + small("m", 0) + small("m", 1) + small("m", 2) + QStringLiteral("<p>") +
                               kNoColourNoDescription);

    fill(set.mainPictures, "m", 4);
    const auto page = buildPreviewPage(set, kAddress);
    EXPECT_EQ(page.counts.main, 4);
    EXPECT_EQ(page.fragments.join(QString()), kHead + small("m", 0) + small("m", 1) + small("m", 2) +
                                                  QStringLiteral("<p>") + small("m", 3) +
                                                  kNoColourNoDescription);
}

TEST(PreviewPage, AllThreeSections)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 1);
    fill(set.colourPictures, "c", 5);
    fill(set.descriptionPictures, "d", 2);
    const auto page = buildPreviewPage(set, kAddress);
    EXPECT_EQ(page.fragments.join(QString()),
              kHead + small("m", 0) + QStringLiteral("<p><p><font fontsize=8>颜色缩略图:</font><p>") +
                  small("c", 0) + small("c", 1) + small("c", 2) + QStringLiteral("<p>") + small("c", 3) +
                  small("c", 4) + QStringLiteral("<p><font fontsize=8>描述缩略图:</font><p>") + wide("d", 0) +
                  QStringLiteral("<p>") + wide("d", 1) + QStringLiteral("<p>"));
    EXPECT_EQ(page.counts.main, 1);
    EXPECT_EQ(page.counts.colour, 5);
    EXPECT_EQ(page.counts.description, 2);
}

// Full lists: 256 small pictures take 85 breaks (after the 3rd, 6th, ... 255th), none after the
// last; 256 wide ones one break each.
TEST(PreviewPage, FullListsOf256)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 256);
    fill(set.descriptionPictures, "d", 256);
    const auto page = buildPreviewPage(set, kAddress);
    EXPECT_EQ(page.counts.main, 256);
    EXPECT_EQ(page.counts.description, 256);
    const QString all = page.fragments.join(QString());
    EXPECT_TRUE(all.startsWith(kHead + small("m", 0) + small("m", 1) + small("m", 2) + QStringLiteral("<p>") +
                               small("m", 3)));
    EXPECT_TRUE(all.contains(small("m", 252) + small("m", 253) + small("m", 254) + QStringLiteral("<p>") +
                             small("m", 255) +
                             QStringLiteral("<p><p><font fontsize=8>颜色缩略图:</font><p><p>"
                                            "<font fontsize=8>描述缩略图:</font><p>") +
                             wide("d", 0) + QStringLiteral("<p>") + wide("d", 1) + QStringLiteral("<p>")));
    EXPECT_TRUE(
        all.endsWith(wide("d", 254) + QStringLiteral("<p>") + wide("d", 255) + QStringLiteral("<p>")));
    // 3 in the head, 85 among the main pictures, 3 after them, 2 around the description
    // heading and 256 after the description pictures.
    EXPECT_EQ(all.count(QStringLiteral("<p>")), 3 + 85 + 3 + 2 + 256);
    EXPECT_EQ(all.count(QStringLiteral("<img width=310 height=310 src=")), 256);
    EXPECT_EQ(all.count(QStringLiteral("<img width=750  src=")), 256);
}

TEST(PreviewPage, Slot0NullHidesLaterSlots)
{
    CollectedSet set = emptySet();
    fill(set.colourPictures, "c", 4);
    set.colourPictures[0] = QStringLiteral("null");
    fill(set.mainPictures, "m", 2);
    set.mainPictures[3] = pic("m", 3); // after the first "null": never looked at
    const auto page = buildPreviewPage(set, kAddress);
    EXPECT_EQ(page.counts.colour, 0);
    EXPECT_EQ(page.counts.main, 2);
    EXPECT_EQ(page.fragments.join(QString()), kHead + small("m", 0) + small("m", 1) + kNoColourNoDescription);
}

TEST(PreviewPage, EmptyTitle)
{
    EXPECT_TRUE(
        markup(emptySet(QString())).startsWith(QStringLiteral("<font fontsize=9>宝贝标题:</font><p>")));
}

TEST(PreviewPage, OrdinaryValuesAreWrittenUnchanged)
{
    CollectedSet set = emptySet(QStringLiteral("2024新款 夏季 连衣裙（包邮）"));
    set.mainPictures[0] = QStringLiteral("http://img.alicdn.com/imgextra/i1/123/O1CN01abc_!!123.jpg");
    set.descriptionPictures[0] = QStringLiteral("https://img.alicdn.com/imgextra/i4/中文/p.png");
    const QString all = markup(set, QStringLiteral("detail.tmall.com/item.htm?id=5#x;y=z%20"));
    EXPECT_TRUE(
        all.startsWith(QStringLiteral("<font fontsize=9>宝贝标题:2024新款 夏季 连衣裙（包邮）</font><p>"
                                      "<font fontsize=9>宝贝网址:detail.tmall.com/item.htm?id=5#x;y=z%20"
                                      "</font><p>")));
    EXPECT_TRUE(
        all.contains(QStringLiteral("<img width=310 height=310 src=\""
                                    "http://img.alicdn.com/imgextra/i1/123/O1CN01abc_!!123.jpg \">")));
    EXPECT_TRUE(all.contains(
        QStringLiteral("<img width=750  src=\"https://img.alicdn.com/imgextra/i4/中文/p.png \">")));
}

TEST(PreviewPage, TitleAndAddressesAreEscaped)
{
    CollectedSet set = emptySet(QStringLiteral("<script>alert('x')</script> \"q\" & co"));
    set.mainPictures[0] = QStringLiteral("http://a/x.jpg\" onerror=\"alert(1)");
    set.descriptionPictures[0] = QStringLiteral("http://a/<b>.png");
    const QString all = markup(set, QStringLiteral("http://a/?q=\"><script>x</script>&b='1'"));
    EXPECT_TRUE(all.startsWith(QStringLiteral(
        "<font fontsize=9>宝贝标题:&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &quot;q&quot; "
        "&amp; co</font><p><font fontsize=9>宝贝网址:http://a/?q=&quot;&gt;&lt;script&gt;x&lt;/"
        "script&gt;&amp;b=&#39;1&#39;</font><p>")));
    EXPECT_TRUE(all.contains(
        QStringLiteral("<img width=310 height=310 src=\"http://a/x.jpg&quot; onerror=&quot;alert(1) \">")));
    EXPECT_TRUE(all.contains(QStringLiteral("<img width=750  src=\"http://a/&lt;b&gt;.png \">")));
    EXPECT_FALSE(all.contains(QStringLiteral("<script")));
    EXPECT_FALSE(all.contains(QStringLiteral("\" onerror")));
}

// --- writePreviewPage against the fakes ---------------------------------------------------

// A preview browser and the loop it waits in.
struct PreviewRig
{
    PreviewRig() { loop.watch(browser); }
    PreviewResult write(const CollectedSet &set)
    {
        return runToEnd(loop, writePreviewPage(browser, waits, set, kAddress));
    }

    FakeEventLoop loop;
    FakePageBrowser browser;
    Waits waits{loop};
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
    EXPECT_EQ(result.counts.main, 4);
    EXPECT_EQ(result.counts.colour, 0);
    EXPECT_EQ(result.counts.description, 1);
    EXPECT_EQ(rig.browser.navigations, QStringList{QStringLiteral("about:blank")});
    EXPECT_EQ(rig.loop.yields(), 3 + 1); // the load, then the write's answer
    EXPECT_EQ(rig.browser.written.join(QString()), buildPreviewPage(set, kAddress).fragments.join(QString()));
}

TEST(WritePreview, ReturnsToTheLoopOnceEvenWhenReadyAtOnce)
{
    PreviewRig rig; // navigation finishes at once
    EXPECT_TRUE(rig.write(emptySet()).ok());
    EXPECT_EQ(rig.loop.yields(), 1 + 1);
    EXPECT_EQ(rig.browser.written.size(), 1);
}

// An abort during the wait, or while the write waits for its answer, ends the preview at the
// next turn; an answer coming later changes nothing.
TEST(WritePreview, AbortEndsTheWait)
{
    for (const bool duringWrite : {false, true}) {
        SCOPED_TRACE(duringWrite);
        PreviewRig rig;
        rig.browser.stateAfterNavigate =
            duringWrite ? PageBrowser::LoadState::Finished : PageBrowser::LoadState::Loading;
        rig.browser.holdReplies = duringWrite;
        const auto result = started(writePreviewPage(rig.browser, rig.waits, emptySet(), kAddress));
        rig.loop.runUntil([] { return false; }, 5);
        ASSERT_FALSE(result->has_value());

        rig.waits.abort();
        ASSERT_FALSE(result->has_value());
        rig.loop.step();
        ASSERT_TRUE(result->has_value());
        EXPECT_FALSE((*result)->ok());
        EXPECT_FALSE((*result)->errorString.isEmpty());
        rig.browser.answerHeld();
        EXPECT_EQ(rig.browser.written.size(), duringWrite ? 1 : 0);
        EXPECT_FALSE((*result)->ok());
    }
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
