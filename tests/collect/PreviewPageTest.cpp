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

const QString P = QStringLiteral("<p>");
const QString kMainHeading = QStringLiteral("<font fontsize=8>主图缩略图:</font>");
const QString kColourHeading = QStringLiteral("<font fontsize=8>颜色缩略图:</font>");
const QString kDescHeading = QStringLiteral("<font fontsize=8>描述缩略图:</font>");
const QString kAddress = QStringLiteral("https://item.example/item.htm?id=1");

QString titleLine(const QString &t)
{
    return QStringLiteral("<font fontsize=9>宝贝标题:") + t + QStringLiteral("</font>");
}
QString addressLine(const QString &a)
{
    return QStringLiteral("<font fontsize=9>宝贝网址:") + a + QStringLiteral("</font>");
}
QString small(const QString &a)
{
    return QStringLiteral("<img width=310 height=310 src=\"") + a + QStringLiteral(" \">&nbsp;</img>");
}
QString wide(const QString &a)
{
    return QStringLiteral("<img width=750  src=\"") + a + QStringLiteral(" \">&nbsp;</img>");
}
QString pic(const char *list, int i)
{
    return QStringLiteral("http://img.example/%1/%2.jpg").arg(QLatin1String(list)).arg(i);
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

QStringList head(const QString &title = QStringLiteral("宝贝"), const QString &address = kAddress)
{
    return {titleLine(title), P, addressLine(address), P, kMainHeading, P};
}

} // namespace

TEST(PreviewPage, EmptySet)
{
    const auto page = buildPreviewPage(emptySet(), kAddress);
    const QStringList want = head() + QStringList{P, P, kColourHeading, P, P, kDescHeading, P};
    EXPECT_EQ(page.fragments, want);
    EXPECT_EQ(page.counts.main, 0);
    EXPECT_EQ(page.counts.colour, 0);
    EXPECT_EQ(page.counts.description, 0);
    EXPECT_EQ(page.fragments.join(QString()),
              QStringLiteral(
                  "<font fontsize=9>宝贝标题:宝贝</font><p><font fontsize=9>宝贝网址:"
                  "https://item.example/item.htm?id=1</font><p><font fontsize=8>主图缩略图:</font><p>"
                  "<p><p><font fontsize=8>颜色缩略图:</font><p><p><font fontsize=8>描述缩略图:</font><p>"));
}

TEST(PreviewPage, ThreeMainPictures)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 3);
    const auto page = buildPreviewPage(set, kAddress);
    const QStringList want = head() + QStringList{small(pic("m", 0)),
                                                  small(pic("m", 1)),
                                                  small(pic("m", 2)),
                                                  P,
                                                  P,
                                                  P,
                                                  kColourHeading,
                                                  P,
                                                  P,
                                                  kDescHeading,
                                                  P};
    EXPECT_EQ(page.fragments, want);
    EXPECT_EQ(page.counts.main, 3);
}

TEST(PreviewPage, FourMainPictures)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 4);
    const auto page = buildPreviewPage(set, kAddress);
    const QStringList want = head() + QStringList{small(pic("m", 0)),
                                                  small(pic("m", 1)),
                                                  small(pic("m", 2)),
                                                  P,
                                                  small(pic("m", 3)),
                                                  P,
                                                  P,
                                                  kColourHeading,
                                                  P,
                                                  P,
                                                  kDescHeading,
                                                  P};
    EXPECT_EQ(page.fragments, want);
    EXPECT_EQ(page.counts.main, 4);
    EXPECT_EQ(page.fragments.join(QString()).count(QStringLiteral("<img width=310 height=310 src=\"http://"
                                                                  "img.example/m/")),
              4);
}

TEST(PreviewPage, AllThreeSections)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 1);
    fill(set.colourPictures, "c", 5);
    fill(set.descriptionPictures, "d", 2);
    const auto page = buildPreviewPage(set, kAddress);
    const QStringList want = head() + QStringList{small(pic("m", 0)),
                                                  P,
                                                  P,
                                                  kColourHeading,
                                                  P,
                                                  small(pic("c", 0)),
                                                  small(pic("c", 1)),
                                                  small(pic("c", 2)),
                                                  P,
                                                  small(pic("c", 3)),
                                                  small(pic("c", 4)),
                                                  P,
                                                  kDescHeading,
                                                  P,
                                                  wide(pic("d", 0)),
                                                  P,
                                                  wide(pic("d", 1)),
                                                  P};
    EXPECT_EQ(page.fragments, want);
    EXPECT_EQ(page.counts.main, 1);
    EXPECT_EQ(page.counts.colour, 5);
    EXPECT_EQ(page.counts.description, 2);
}

TEST(PreviewPage, Full256MainPicturesWith85Breaks)
{
    CollectedSet set = emptySet();
    fill(set.mainPictures, "m", 256);
    fill(set.descriptionPictures, "d", 256);
    const auto page = buildPreviewPage(set, kAddress);
    EXPECT_EQ(page.counts.main, 256);
    EXPECT_EQ(page.counts.description, 256);
    QStringList want = head();
    for (int i = 0; i < 256; ++i) {
        want << small(pic("m", i));
        if (i % 3 == 2)
            want << P;
    }
    want << P << P << kColourHeading << P << P << kDescHeading << P;
    for (int i = 0; i < 256; ++i)
        want << wide(pic("d", i)) << P;
    EXPECT_EQ(page.fragments, want);
    // Breaks of the main section: exactly 85, after indices 2, 5, ..., 254; none after 255.
    const qsizetype first = page.fragments.indexOf(small(pic("m", 0)));
    const qsizetype last = page.fragments.indexOf(small(pic("m", 255)));
    EXPECT_EQ(page.fragments.mid(first, last - first + 1).count(P), 85);
    EXPECT_EQ(page.fragments.at(last - 1), P);
    EXPECT_EQ(page.fragments.at(last - 2), small(pic("m", 254)));
    // The last picture is followed directly by the two breaks before the colour heading.
    EXPECT_EQ(page.fragments.at(last + 1), P);
    EXPECT_EQ(page.fragments.at(last + 2), P);
    EXPECT_EQ(page.fragments.at(last + 3), kColourHeading);
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
    const QStringList want =
        head() +
        QStringList{small(pic("m", 0)), small(pic("m", 1)), P, P, kColourHeading, P, P, kDescHeading, P};
    EXPECT_EQ(page.fragments, want);
}

TEST(PreviewPage, EmptyTitle)
{
    const auto page = buildPreviewPage(emptySet(QString()), kAddress);
    EXPECT_EQ(page.fragments.at(0), QStringLiteral("<font fontsize=9>宝贝标题:</font>"));
}

TEST(PreviewPage, OrdinaryValuesAreWrittenUnchanged)
{
    CollectedSet set = emptySet(QStringLiteral("2024新款 夏季 连衣裙（包邮）"));
    set.mainPictures[0] = QStringLiteral("http://img.alicdn.com/imgextra/i1/123/O1CN01abc_!!123.jpg");
    set.descriptionPictures[0] = QStringLiteral("https://img.alicdn.com/imgextra/i4/中文/p.png");
    const QString address = QStringLiteral("detail.tmall.com/item.htm?id=5#x;y=z%20");
    const auto page = buildPreviewPage(set, address);
    EXPECT_EQ(page.fragments.at(0), titleLine(set.itemTitle));
    EXPECT_EQ(page.fragments.at(2), addressLine(address));
    EXPECT_TRUE(page.fragments.contains(small(set.mainPictures[0])));
    EXPECT_TRUE(page.fragments.contains(wide(set.descriptionPictures[0])));
}

TEST(PreviewPage, TitleAndAddressesAreEscaped)
{
    CollectedSet set = emptySet(QStringLiteral("<script>alert('x')</script> \"q\" & co"));
    set.mainPictures[0] = QStringLiteral("http://a/x.jpg\" onerror=\"alert(1)");
    set.descriptionPictures[0] = QStringLiteral("http://a/<b>.png");
    const auto page = buildPreviewPage(set, QStringLiteral("http://a/?q=\"><script>x</script>&b='1'"));
    EXPECT_EQ(
        page.fragments.at(0),
        titleLine(QStringLiteral("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &quot;q&quot; &amp; co")));
    EXPECT_EQ(page.fragments.at(2),
              addressLine(
                  QStringLiteral("http://a/?q=&quot;&gt;&lt;script&gt;x&lt;/script&gt;&amp;b=&#39;1&#39;")));
    EXPECT_TRUE(
        page.fragments.contains(small(QStringLiteral("http://a/x.jpg&quot; onerror=&quot;alert(1)"))));
    EXPECT_TRUE(page.fragments.contains(wide(QStringLiteral("http://a/&lt;b&gt;.png"))));
    const QString markup = page.fragments.join(QString());
    EXPECT_FALSE(markup.contains(QStringLiteral("<script")));
    EXPECT_FALSE(markup.contains(QStringLiteral("\" onerror")));
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

    FakePageBrowser browser;
    FakeEventLoop loop;
    Waits waits{loop};
};

TEST(WritePreview, WaitsForTheBlankPageThenWritesTheFragments)
{
    PreviewRig rig;
    rig.browser.stateAfterNavigate = PageBrowser::LoadState::Loading;
    rig.loop.onYield([&](int n) {
        EXPECT_TRUE(rig.browser.written.isEmpty()) << "turn " << n;
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
    EXPECT_EQ(rig.loop.yields(), 3);
    EXPECT_EQ(rig.browser.written.join(QString()), buildPreviewPage(set, kAddress).fragments.join(QString()));
}

TEST(WritePreview, ReturnsToTheLoopOnceEvenWhenReadyAtOnce)
{
    PreviewRig rig; // navigation finishes at once
    EXPECT_TRUE(rig.write(emptySet()).ok());
    EXPECT_EQ(rig.loop.yields(), 1);
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
