// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectCommand.h"

#include "collect/PictureList.h"
#include "collect/ScrollTurns.h"
#include "platform/Waits.h"
#include "support/FakeEventLoop.h"
#include "support/FakePageBrowser.h"

#include "support/QStringPrinter.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

using talvesk::CollectAbort;
using talvesk::CollectCommand;
using talvesk::CollectedSet;
using talvesk::CollectFailure;
using talvesk::CollectProgress;
using talvesk::CollectResult;
using talvesk::DescriptionProblem;
using talvesk::PageBrowser;
using talvesk::PageElement;
using talvesk::PictureList;
using talvesk::ScrollHandling;
using talvesk::ScrollTurns;
using talvesk::Waits;
using talvesk::test::FakeEventLoop;
using talvesk::test::FakePageBrowser;
using talvesk::test::runToEnd;
using talvesk::test::started;

namespace {

QString repeated(const QString &pattern, int count)
{
    QString markup;
    for (int i = 1; i <= count; ++i)
        markup += pattern.arg(i);
    return markup;
}

QString mainThumbs(int count, const QString &dir = QStringLiteral("m"))
{
    return repeated(QStringLiteral("<img data-src=\"//img.example/") + dir +
                        QStringLiteral("/%1.jpg_50x50.jpg\">"),
                    count);
}

QString colourSwatches(int count)
{
    return repeated(
        QStringLiteral("<a style='background: url(\"//img.example/c/%1.jpg_30x30.jpg\") center'></a>"),
        count);
}

QString descPictures(int count, const QString &dir = QStringLiteral("d"))
{
    return repeated(QStringLiteral("<img src=\"//img.example/") + dir + QStringLiteral("/%1.jpg\">"), count);
}

QStringList addresses(const QString &dir, int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list.append(QStringLiteral("http://img.example/") + dir + QLatin1Char('/') + QString::number(i) +
                    QStringLiteral(".jpg"));
    return list;
}

// Whether the collect has something to say beside its summary.
bool hasNotices(const CollectResult &result)
{
    const talvesk::CollectedSet &set = result.set;
    return result.scrolled != talvesk::ScrollPhase::End::Bottom || set.mainPictures.overflowed() ||
           set.colourPictures.overflowed() || set.descriptionPictures.overflowed() ||
           result.descriptionFailure != DescriptionProblem::None ||
           result.descriptionCutShort != DescriptionProblem::None || result.descriptionStopped ||
           set.simplified;
}

const QString kAddress = QStringLiteral("http://127.0.0.1:9/item.htm?id=1");

const QString kGalleryPicture = QStringLiteral("https://img.example/g/1.jpg");

// The fakes a collect runs against: a titled page at kAddress whose gallery shows one picture
// (kGalleryPicture), unless a test gives it the classic blocks.
struct CollectRig
{
    CollectRig()
    {
        browser1.title = QStringLiteral("Item");
        browser1.images.sets = {{{QStringLiteral("//img.example/g/1.jpg_q50.jpg_.webp"), {}, {}}}};
        loop.watch(browser1);
        loop.watch(browser3);
    }

    CollectCommand::ProgressReport recorder()
    {
        return [this](const CollectProgress &progress) { reports.push_back(progress); };
    }
    // Runs a collect of the address to its end; its result is also kept in `collected`, its
    // reports in `reports`.
    CollectResult collect(const QString &address = kAddress)
    {
        reports.clear();
        collected = runToEnd(loop, command.run(address, recorder()));
        return collected;
    }
    // The seconds of the reports in this phase, in order.
    QList<int> secondsOf(CollectProgress::Phase phase) const
    {
        QList<int> seconds;
        for (const CollectProgress &report : reports) {
            if (report.phase == phase)
                seconds.append(report.seconds);
        }
        return seconds;
    }
    std::optional<CollectProgress::Phase> lastPhase() const
    {
        return reports.empty() ? std::nullopt : std::optional(reports.back().phase);
    }

    FakeEventLoop loop;
    FakePageBrowser browser1;
    FakePageBrowser browser3; // the description document's
    CollectCommand command{browser1, browser3, loop};
    CollectResult collected;
    std::vector<CollectProgress> reports;

    // A failing step returns its reason and a cleared set; its last report is not a finished one.
    void expectFailedCleanly(const CollectResult &result, CollectFailure failure)
    {
        EXPECT_EQ(result.status, CollectResult::Status::Failed);
        EXPECT_EQ(result.failure, failure);
        EXPECT_TRUE(result.set.itemTitle.isEmpty());
        EXPECT_TRUE(result.set.mainPictures.isEmpty());
        EXPECT_TRUE(result.set.colourPictures.isEmpty());
        EXPECT_TRUE(result.set.descriptionPictures.isEmpty());
        EXPECT_NE(lastPhase(), CollectProgress::Phase::Finished);
        EXPECT_FALSE(command.isRunning());
    }
};

class CollectCommandTest : public ::testing::Test, protected CollectRig
{
};

// A page ready at once and 0 px high: no pass, the address as typed, a start and a final report.
TEST_F(CollectCommandTest, ReadyAtOnceAndZeroHeight)
{
    const QString typed = QStringLiteral(" 127.0.0.1:9/item ");
    browser1.scrollHeight = 0;

    const CollectResult result = collect(typed);

    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(browser1.scrolls.isEmpty());
    EXPECT_EQ(browser1.navigations, QStringList{typed});
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().phase, CollectProgress::Phase::Loading);
    EXPECT_EQ(secondsOf(CollectProgress::Phase::Finished), QList<int>{0});
    EXPECT_EQ(reports.back().phase, CollectProgress::Phase::Finished);
    EXPECT_FALSE(hasNotices(result));
    EXPECT_EQ(result.set.mainPictures.addresses(), QStringList{kGalleryPicture});
    EXPECT_EQ(result.set.itemTitle, QStringLiteral("Item"));
}

// While the page loads, each turn reports the seconds since that collect began, the load included.
TEST_F(CollectCommandTest, LoadWaitCountsTheSecondsFromThePress)
{
    loop.setMillisecondsPerTurn(1000);
    int finishAt = 3;
    QList<int> figures; // as the turns of the load find them
    loop.onYield([&](int n) {
        if (browser1.state == PageBrowser::LoadState::Loading)
            figures.append(reports.back().seconds);
        if (n == finishAt)
            browser1.state = PageBrowser::LoadState::Finished;
    });
    browser1.stateAfterNavigate = PageBrowser::LoadState::Loading;

    ASSERT_TRUE(collect().ok());
    EXPECT_EQ(figures, QList<int>({0, 1, 2}));

    figures.clear();
    finishAt = loop.yields() + 3;
    ASSERT_TRUE(collect().ok());
    EXPECT_EQ(figures, QList<int>({0, 1, 2}));
}

// Steady height: 5 px steps, 2 px wider every ten seconds (passes 101, 201, 301 at 100 ms a pass).
TEST_F(CollectCommandTest, StepWidensEveryTenSecondsOnceHeightIsSteady)
{
    browser1.scrollHeight = 2500;
    loop.setMillisecondsPerTurn(100);

    ASSERT_TRUE(collect().ok());

    const auto &scrolls = browser1.scrolls;
    ASSERT_GT(scrolls.size(), 300);
    for (int pass = 1; pass <= scrolls.size(); ++pass) {
        const int expected = pass <= 100 ? 5 : pass <= 200 ? 7 : pass <= 300 ? 9 : 11;
        ASSERT_EQ(scrolls[pass - 1].second, expected) << "pass " << pass;
    }
    int sum = 0;
    for (const auto &scroll : scrolls)
        sum += scroll.second;
    EXPECT_GE(sum, 2500);
    EXPECT_LT(sum - scrolls.last().second, 2500);
    // The figure counts the seconds since the collect began, a tenth of a second per pass (and
    // the reads before the phase and at its end), and ends with the collect's whole time.
    const QList<int> scrolling = secondsOf(CollectProgress::Phase::Scrolling);
    ASSERT_FALSE(scrolling.isEmpty());
    EXPECT_GE(scrolling.last(), static_cast<int>(scrolls.size() - 1) / 10);
    EXPECT_LE(scrolling.last(), static_cast<int>(scrolls.size() - 1) / 10 + 1);
    const QList<int> finished = secondsOf(CollectProgress::Phase::Finished);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_GE(finished.first(), scrolling.last());
}

// A height changed by the check at second 10 delays the widening to second 20.
TEST_F(CollectCommandTest, ChangedHeightDelaysTheWidening)
{
    browser1.scrollHeight = 3000;
    loop.setMillisecondsPerTurn(100);
    loop.onYield([&](int n) {
        if (n == 50)
            browser1.scrollHeight = 3100;
    });

    ASSERT_TRUE(collect().ok());

    const auto &scrolls = browser1.scrolls;
    ASSERT_GT(scrolls.size(), 400);
    for (int pass = 1; pass <= 400; ++pass) {
        const int expected = pass <= 200 ? 5 : pass <= 300 ? 7 : pass <= 400 ? 9 : 11;
        ASSERT_EQ(scrolls[pass - 1].second, expected) << "pass " << pass;
    }
}

// A page that keeps growing stops at 300,000 px or 5 minutes; what it holds is still walked.
TEST_F(CollectCommandTest, EndlesslyGrowingPageStopsAtItsLimits)
{
    struct Case
    {
        int msPerPass;
        int passes;
        talvesk::ScrollPhase::End end;
    };
    for (const Case &limit : {Case{1, 60000, talvesk::ScrollPhase::End::DistanceLimit},
                              Case{100, 3000, talvesk::ScrollPhase::End::TimeLimit}}) {
        SCOPED_TRACE(limit.msPerPass);
        CollectRig rig;
        rig.browser1.scrollHeight = 1000;
        rig.browser1.divs = {{QStringLiteral("detail"), mainThumbs(2)}};
        rig.loop.setMillisecondsPerTurn(limit.msPerPass);
        rig.loop.onYield([&](int) { *rig.browser1.scrollHeight += 10; }); // always ahead of the 5 px steps

        const CollectResult result = rig.collect();

        ASSERT_TRUE(result.ok());
        EXPECT_EQ(rig.browser1.scrolls.size(), limit.passes);
        EXPECT_EQ(result.scrolled, limit.end);
        EXPECT_EQ(result.set.mainPictures.addresses(), addresses(QStringLiteral("m"), 2));
    }
}

// A page that never draws its scroll position is waited for once, for a second, not at every pass.
TEST_F(CollectCommandTest, PageThatNeverDrawsIsNotWaitedForAgain)
{
    browser1.scrollHeight = 100;
    browser1.drawnBehind = true;
    browser1.scrollHandlingAt = [](int) { return ScrollHandling::Stage::Waiting; };
    loop.setMillisecondsPerTurn(100);
    std::int64_t scrollStart = 0;
    std::int64_t scrollEnd = 0;
    loop.onYield([&](int) {
        if (browser1.scrolls.isEmpty())
            scrollStart = loop.now();
        else if (browser1.scrolls.size() < 20)
            scrollEnd = loop.now();
    });

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(browser1.scrolls.size(), 20);
    EXPECT_EQ(browser1.scrollWatches, 1);
    // 20 passes of a turn each, and a second of waits for the drawing in between.
    EXPECT_LE(scrollEnd - scrollStart, (20 + 10) * 100);
    // Around them: three reads before (the check for a login page, the page's data, the
    // height), one of how the page handles its scrolls, and three after (the check again, the
    // title, the pictures).
    EXPECT_EQ(loop.yields(), 3 + 20 + 10 + 1 + 3);
}
// The end waits until the page has handled its scrolls, and follows what its handler then adds.
TEST_F(CollectCommandTest, EndWaitsForThePageToHandleItsScrolls)
{
    browser1.scrollHeight = 100;
    loop.setMillisecondsPerTurn(100);
    bool grown = false;
    browser1.scrollHandlingAt = [&](int read) {
        if (read < 12)
            return read < 6 ? ScrollHandling::Stage::Waiting : ScrollHandling::Stage::Dispatched;
        if (!std::exchange(grown, true))
            *browser1.scrollHeight += 50;
        return ScrollHandling::Stage::Handled;
    };

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(browser1.scrolls.size(), 30);
    EXPECT_EQ(browser1.scrollWatches, 2);
    // Passes and the 13 reads of each watch, and the reads around them.
    EXPECT_EQ(loop.yields(), 2 + 20 + 13 + 10 + 13 + 4);
}

// A page drawn but getting no further with its scrolls for a second is not waited for longer.
TEST_F(CollectCommandTest, PageStuckHandlingItsScrollsIsWaitedForASecond)
{
    browser1.scrollHeight = 100;
    loop.setMillisecondsPerTurn(100);
    browser1.scrollHandlingAt = [](int read) {
        return read == 0 ? ScrollHandling::Stage::Waiting : ScrollHandling::Stage::Dispatched;
    };

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(browser1.scrolls.size(), 20);
    // Passes; reads until a first frame, then for a second; the reads around them.
    EXPECT_EQ(loop.yields(), 2 + 20 + 2 + 10 + 4);
}

// Pictures past the 256th of a list are dropped with a notice before the summary, not silently.
TEST_F(CollectCommandTest, DroppedPicturesAreNoticed)
{
    browser1.divs = {{QStringLiteral("description"), descPictures(257)},
                     {QStringLiteral("detail"), mainThumbs(3)}};

    ASSERT_TRUE(collect().ok());

    EXPECT_TRUE(collected.set.descriptionPictures.overflowed());
    EXPECT_FALSE(collected.set.mainPictures.overflowed());
    EXPECT_EQ(collected.set.descriptionPictures.size(), 256);
    EXPECT_EQ(collected.set.descriptionPictures.value(255), QStringLiteral("http://img.example/d/256.jpg"));
}

// The walk takes one turn and one report per recognised div, none for others; each fills its list.
TEST_F(CollectCommandTest, WalkTakesOneTurnPerRecognisedDiv)
{
    browser1.divs = {{QStringLiteral("a"), {}},
                     {QStringLiteral("detail"), mainThumbs(2)},
                     {{}, {}},
                     {QStringLiteral("J_isku"), colourSwatches(1)}};
    browser1.scrollHeight = 10;
    int turnsInTheWalk = 0;
    loop.onYield([&](int) {
        if (lastPhase() == CollectProgress::Phase::ReadingBlocks)
            ++turnsInTheWalk;
    });

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(turnsInTheWalk, 2);
    EXPECT_EQ(secondsOf(CollectProgress::Phase::ReadingBlocks).size(), 1 + 2);
    EXPECT_EQ(collected.set.mainPictures.addresses(), addresses(QStringLiteral("m"), 2));
    EXPECT_EQ(collected.set.colourPictures.addresses(), addresses(QStringLiteral("c"), 1));
}

// Ids match exactly; a page where no picture is found fails rather than invite a download.
TEST_F(CollectCommandTest, IdsAreComparedExactly)
{
    browser1.images = {};
    browser1.divs = {
        {QStringLiteral("Detail"), mainThumbs(1)},
        {QStringLiteral("detail "), mainThumbs(1)},
        {QStringLiteral("DESCRIPTION"), descPictures(1)},
        {QStringLiteral("j_isku"), colourSwatches(1)},
        {{}, QStringLiteral("<div class=\"detail\">") + mainThumbs(1) + QStringLiteral("</div>")}};

    expectFailedCleanly(collect(), CollectFailure::NoPictures);
}

// A nested div is handed over in its outer one and again alone; J_DetailMeta overwrites from slot 0.
TEST_F(CollectCommandTest, NestedDivsAreHandedOverTwice)
{
    const QString inner = descPictures(1, QStringLiteral("inner"));
    browser1.divs = {{QStringLiteral("description"), descPictures(2, QStringLiteral("outer")) +
                                                         QStringLiteral("<div id=\"description\">") + inner +
                                                         QStringLiteral("</div>")},
                     {QStringLiteral("description"), inner},
                     {QStringLiteral("detail"), mainThumbs(3)},
                     {QStringLiteral("J_DetailMeta"),
                      QStringLiteral("<img src=\"//img.example/tm/1.jpg_60x60q90.jpg\">")}};

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(collected.set.descriptionPictures.addresses(),
              QStringList({QStringLiteral("http://img.example/inner/1.jpg"),
                           QStringLiteral("http://img.example/outer/2.jpg"),
                           QStringLiteral("http://img.example/inner/1.jpg")}));
    EXPECT_EQ(collected.set.mainPictures.addresses(),
              QStringList({QStringLiteral("http://img.example/tm/1.jpg"),
                           QStringLiteral("http://img.example/m/2.jpg"),
                           QStringLiteral("http://img.example/m/3.jpg")}));
}

// The lazy description pictures are completed between the scroll phase and the walk.
TEST_F(CollectCommandTest, LazyDescriptionPicturesAreCompletedBeforeTheWalk)
{
    browser1.scrollHeight = 100;
    const QString spacer =
        QStringLiteral("<img src=\"//img.example/tps/spacer.gif\" data-ks-lazyload=\"%1\">");
    browser1.divs = {{QStringLiteral("description"), spacer.arg(QStringLiteral("//img.example/d/1.jpg"))}};
    QStringList calls;
    browser1.onCompleteLazyImages = [&](const QString &divId, const QString &attribute) {
        calls.append(divId + QLatin1Char('|') + attribute + QLatin1Char('|') +
                     QString::number(browser1.scrolls.size()));
        browser1.divs[0].innerHtml = QStringLiteral("<img src=\"//img.example/d/1.jpg\">");
    };

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(calls, QStringList({QStringLiteral("description|data-ks-lazyload|20")}));
    EXPECT_EQ(collected.set.descriptionPictures.addresses(), addresses(QStringLiteral("d"), 1));
}

// Each failing step returns its own reason and a cleared set.
TEST(CollectFailures, EachStepFailsCleanly)
{
    const CollectFailure loadFailed = CollectFailure::LoadFailed;
    const struct
    {
        const char *what;
        std::function<void(CollectRig &)> arrange;
        CollectFailure failure;
        std::function<void(CollectRig &)> alsoExpect;
    } cases[] = {
        {"no document",
         [](CollectRig &rig) { rig.browser1.hasDocument = false; },
         CollectFailure::NoDocument,
         {}},
        {"no body",
         [](CollectRig &rig) { rig.browser1.scrollHeight = std::nullopt; },
         CollectFailure::NoBody,
         {}},
        {"no title element",
         [](CollectRig &rig) {
             rig.browser1.scrollHeight = 100;
             rig.browser1.title = std::nullopt;
         },
         CollectFailure::NoTitle, [](CollectRig &rig) { EXPECT_EQ(rig.browser1.scrolls.size(), 20); }},
        {"unreadable page",
         [](CollectRig &rig) { rig.browser1.pageReadable = false; },
         CollectFailure::UnreadablePictures,
         {}},
        {"busy page", [](CollectRig &rig) { rig.browser1.busy = true; }, CollectFailure::Unresponsive,
         [](CollectRig &rig) { EXPECT_TRUE(rig.browser1.scrolls.isEmpty()); }},
        {"failed load",
         [](CollectRig &rig) { rig.browser1.stateAfterNavigate = PageBrowser::LoadState::Failed; },
         loadFailed, [](CollectRig &rig) { EXPECT_TRUE(rig.browser1.scrolls.isEmpty()); }},
        {"stop in the ready wait",
         [](CollectRig &rig) {
             rig.browser1.stateAfterNavigate = PageBrowser::LoadState::Loading;
             rig.loop.onYield([&rig](int n) {
                 if (n == 5)
                     rig.browser1.state = PageBrowser::LoadState::Failed;
             });
         },
         loadFailed, [](CollectRig &rig) { EXPECT_EQ(rig.loop.yields(), 5); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CollectRig rig;
        c.arrange(rig);
        rig.expectFailedCleanly(rig.collect(), c.failure);
        if (c.alsoExpect)
            c.alsoExpect(rig);
    }
}

// A navigation of the user's own in any phase means the page went, even once the new one has loaded.
TEST_F(CollectCommandTest, NewNavigationEndsTheCollect)
{
    const CollectFailure gone = CollectFailure::PageGone;
    for (const int navigateAt : {2, 8, 25}) {
        SCOPED_TRACE(navigateAt);
        CollectRig rig;
        rig.browser1.scrollHeight = 50; // turns 6 to 15 scroll, 20 on walk
        rig.browser1.divs = QList<PageElement>(20, PageElement{QStringLiteral("detail"), mainThumbs(1)});
        rig.browser1.stateAfterNavigate = PageBrowser::LoadState::Loading;
        rig.loop.onYield([&](int n) {
            if (n == 3)
                rig.browser1.state = PageBrowser::LoadState::Finished;
            if (n == navigateAt)
                rig.browser1.navigate(QStringLiteral("http://127.0.0.1:9/elsewhere"));
        });

        const CollectResult result = rig.collect();

        rig.expectFailedCleanly(result, gone);
        EXPECT_EQ(rig.loop.yields(), navigateAt);
    }
}

// Abort by the user or by the time limit ends any wait with its reason, once abort() has returned.
TEST_F(CollectCommandTest, AbortEndsAnyWaitWithItsReason)
{
    const CollectFailure gone = CollectFailure::PageGone;
    const CollectFailure late = CollectFailure::TimeLimit;
    for (const bool stuckInRead : {false, true}) {
        for (const bool byUser : {true, false}) {
            SCOPED_TRACE(testing::Message() << stuckInRead << byUser);
            CollectRig rig;
            rig.browser1.scrollHeight = 100;
            if (stuckInRead)
                rig.loop.onYield([&](int) { rig.browser1.holdReplies = !rig.browser1.scrolls.isEmpty(); });
            else
                rig.browser1.stateAfterNavigate = PageBrowser::LoadState::Loading;
            rig.command.setTimeLimit(2);
            rig.loop.setMillisecondsPerTurn(100);

            const auto result = started(rig.command.run(kAddress, rig.recorder()));
            rig.loop.runUntil([&] { return rig.loop.yields() == 5 || !rig.browser1.heldReplies.empty(); });
            ASSERT_FALSE(result->has_value());
            if (byUser) {
                // The collect goes on from the event loop, not inside the caller of abort().
                rig.command.abort(CollectAbort::Navigated);
                EXPECT_FALSE(result->has_value());
            }
            rig.loop.runUntil([&] { return result->has_value(); });

            ASSERT_TRUE(result->has_value());
            rig.expectFailedCleanly(**result, byUser ? gone : late);
            if (byUser) {
                EXPECT_LT(rig.loop.now(), 2000);
            } else {
                EXPECT_EQ((*result)->timeLimitSeconds, 2);
                // at the limit, resumed in that turn or the next
                EXPECT_TRUE(rig.loop.now() == 2000 || rig.loop.now() == 2000 + 100) << rig.loop.now();
            }
        }
    }
    // A page that loads and scrolls in time is not held to the limit afterwards.
    browser1.scrollHeight = 20;
    command.setTimeLimit(1);
    loop.setMillisecondsPerTurn(100);
    EXPECT_TRUE(collect().ok());
}

// A page waiting for its turn to scroll does not spend its time limit meanwhile.
TEST_F(CollectCommandTest, WaitForATurnToScrollIsNoPartOfTheTimeLimit)
{
    ScrollTurns turns(1);
    Waits otherPage(loop);
    const auto held = started(turns.take(otherPage));
    ASSERT_TRUE(held->has_value());
    browser1.scrollHeight = 20;
    command.setScrollTurns(&turns);
    command.setTimeLimit(2);
    loop.setMillisecondsPerTurn(100);

    const auto result = started(command.run(kAddress, recorder()));
    loop.runUntil([&] { return loop.now() >= 1900; });
    EXPECT_FALSE(result->has_value());
    EXPECT_TRUE(browser1.scrolls.isEmpty());

    held->reset();
    loop.runUntil([&] { return result->has_value(); });
    ASSERT_TRUE(result->has_value());
    EXPECT_TRUE((*result)->ok());
    EXPECT_EQ(browser1.scrolls.size(), 4);
}

// A second collect while one runs is refused, reporting nothing, and the first one goes on.
TEST_F(CollectCommandTest, SecondCollectIsRefused)
{
    browser1.stateAfterNavigate = PageBrowser::LoadState::Loading;
    browser1.divs = {{QStringLiteral("detail"), mainThumbs(2)}};
    CollectResult second;
    bool secondReported = false;
    bool runningDuringWait = false;
    loop.onYield([&](int n) {
        if (n == 2) {
            runningDuringWait = command.isRunning();
            second = started(command.run(kAddress, [&](const CollectProgress &) {
                         secondReported = true;
                     }))->value_or(CollectResult{});
        }
        if (n == 3)
            browser1.state = PageBrowser::LoadState::Finished;
    });

    const CollectResult first = collect();

    EXPECT_TRUE(runningDuringWait);
    EXPECT_EQ(second.status, CollectResult::Status::Refused);
    EXPECT_EQ(second.failure, CollectFailure::Busy);
    EXPECT_FALSE(secondReported);
    EXPECT_EQ(browser1.navigations.size(), 1);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.set.mainPictures.size(), 2);
    EXPECT_EQ(reports.back().phase, CollectProgress::Phase::Finished);
    EXPECT_FALSE(command.isRunning());
}

// An empty or blank address box loads nothing.
TEST_F(CollectCommandTest, EmptyAddressIsRefused)
{
    for (const QString &text : {QString(), QStringLiteral("  \t ")}) {
        const CollectResult result = collect(text);
        EXPECT_EQ(result.status, CollectResult::Status::Refused);
        EXPECT_EQ(result.failure, CollectFailure::EmptyAddress);
        EXPECT_TRUE(reports.empty());
    }
    EXPECT_TRUE(browser1.navigations.isEmpty());
}

// Closing while the command waits ends it at once in each phase, reporting nothing more.
TEST_F(CollectCommandTest, ClosingEndsTheCommandUntouched)
{
    // Turns 1-3 load, 4-5 check and measure, 6-13 scroll, 18 walks.
    for (const int closeAt : {2, 8, 18}) {
        SCOPED_TRACE(closeAt);
        CollectRig rig;
        rig.browser1.scrollHeight = 40;
        rig.browser1.divs = {{QStringLiteral("detail"), mainThumbs(1)}, {QStringLiteral("x"), {}}};
        rig.browser1.stateAfterNavigate = PageBrowser::LoadState::Loading;
        std::size_t reportsAtClose = 0;
        rig.loop.onYield([&](int n) {
            if (n == 3)
                rig.browser1.state = PageBrowser::LoadState::Finished;
            if (n == closeAt) {
                reportsAtClose = rig.reports.size();
                rig.command.abort(CollectAbort::Closing);
            }
        });

        const CollectResult result = rig.collect();

        EXPECT_EQ(result.status, CollectResult::Status::Closing);
        EXPECT_EQ(rig.loop.yields(), closeAt);
        EXPECT_EQ(rig.reports.size(), reportsAtClose);
        EXPECT_FALSE(rig.command.isRunning());
    }
}

// A command destroyed while it waits, after its browsers and listener, touches none of them.
TEST(CollectDestruction, CommandGoesWhileWaitingAfterTheWindow)
{
    for (const int destroyAt : {2, 8}) {
        SCOPED_TRACE(destroyAt);
        FakeEventLoop loop;
        auto item = std::make_unique<FakePageBrowser>();
        auto description = std::make_unique<FakePageBrowser>();
        loop.watch(*item);
        item->title = QStringLiteral("Item");
        item->scrollHeight = 100;
        if (destroyAt == 2)
            item->stateAfterNavigate = PageBrowser::LoadState::Loading;
        auto reports = std::make_unique<std::vector<CollectProgress>>();
        auto command = std::make_unique<CollectCommand>(*item, *description, loop);
        const auto result = started(command->run(
            kAddress, [target = reports.get()](const CollectProgress &p) { target->push_back(p); }));
        loop.runUntil([&] { return loop.yields() == destroyAt; });
        ASSERT_FALSE(result->has_value());

        reports.reset();
        loop.unwatch(*item);
        item.reset();
        description.reset();
        command.reset();
        loop.runUntil([] { return false; }, 100);

        ASSERT_TRUE(result->has_value());
        EXPECT_EQ((*result)->status, CollectResult::Status::Closing);
    }
}

} // namespace

namespace {

// Named protocol-relative in the data of a page at an http address.
const QString kDocument = QStringLiteral("http://market.example/desc/index.html?id=1");

// A page of today's layout without a description, whose data names kDocument; the document
// holds two pictures.
void nameADescriptionDocument(CollectRig &rig)
{
    rig.browser1.scripts = {
        QStringLiteral("window.__ICE_APP_CONTEXT__ = {\"loaderData\":{\"home\":{\"data\":{"
                       "\"res\":{\"item\":{\"pcADescUrl\":\"//market.example/desc/"
                       "index.html?id=1\"}}}}}};")};
    rig.browser3.renderedPictures.sets = {
        {{QStringLiteral("//img.example/s.gif"), QStringLiteral("//img.example/dd/1.jpg"), {}},
         {QStringLiteral("//img.example/dd/2.jpg_q50.jpg_.webp"), {}, {}}}};
}

} // namespace

// The document the data names, resolved against the page, fills the description; its page is blanked.
TEST_F(CollectCommandTest, DescriptionDocumentFillsTheDescription)
{
    nameADescriptionDocument(*this);

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(collected.set.descriptionPictures.addresses(),
              QStringList({QStringLiteral("https://img.example/dd/1.jpg"),
                           QStringLiteral("https://img.example/dd/2.jpg")}));
    EXPECT_EQ(collected.set.mainPictures.addresses(), QStringList{kGalleryPicture});
    EXPECT_EQ(collected.descriptionFailure, DescriptionProblem::None);
    EXPECT_EQ(browser3.navigations, QStringList({kDocument, QStringLiteral("about:blank")}));
    EXPECT_EQ(collected.set.descriptionPictures.size(), 2);
    EXPECT_FALSE(hasNotices(collected));
    EXPECT_FALSE(secondsOf(CollectProgress::Phase::ReadingDescription).isEmpty());
}

// An item holds one scroll turn for its page and its description document, not two.
TEST_F(CollectCommandTest, ItemAndItsDescriptionDocumentScrollInOneTurn)
{
    nameADescriptionDocument(*this);
    browser1.scrollHeight = 20;
    browser3.scrollHeight = 20;
    ScrollTurns turns(1);
    command.setScrollTurns(&turns);
    Waits otherPage(loop);
    std::shared_ptr<std::optional<talvesk::Waited<ScrollTurns::Turn>>> other;
    qsizetype documentScrollsBeforeOther = -1;
    loop.onYield([&](int) {
        if (!other && !browser1.scrolls.isEmpty())
            other = started(turns.take(otherPage));
        if (other && other->has_value() && documentScrollsBeforeOther < 0) {
            documentScrollsBeforeOther = browser3.scrolls.size();
            other->reset(); // given back at once
        }
    });

    ASSERT_TRUE(collect().ok());

    EXPECT_EQ(collected.set.descriptionPictures.size(), 2);
    EXPECT_GT(browser3.scrolls.size(), 0);
    EXPECT_EQ(documentScrollsBeforeOther, browser3.scrolls.size());
}

// A description document that cannot be read keeps the other pictures and says why.
TEST(CollectDescriptionFailures, EachKeepsTheOtherPictures)
{
    const struct
    {
        const char *what;
        std::function<void(CollectRig &)> arrange;
        DescriptionProblem reason;
        int documentLoads;
    } cases[] = {
        {"no pictures", [](CollectRig &rig) { rig.browser3.renderedPictures = {}; },
         DescriptionProblem::Empty, 1},
        {"a failed load",
         [](CollectRig &rig) { rig.browser3.stateAfterNavigate = PageBrowser::LoadState::Failed; },
         DescriptionProblem::LoadFailed, 1},
        {"another scheme",
         [](CollectRig &rig) {
             rig.browser1.scripts = {QStringLiteral("var data = {\"pcADescUrl\": \"javascript:alert(1)\"};")};
         },
         DescriptionProblem::AddressInvalid, 0},
        {"the time limit",
         [](CollectRig &rig) {
             rig.browser3.stateAfterNavigate = PageBrowser::LoadState::Loading;
             rig.command.setTimeLimit(3);
             rig.loop.setMillisecondsPerTurn(100);
         },
         DescriptionProblem::TimedOut, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CollectRig rig;
        nameADescriptionDocument(rig);
        c.arrange(rig);

        const CollectResult result = rig.collect();

        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.descriptionFailure, c.reason);
        EXPECT_EQ(result.set.mainPictures.addresses(), QStringList{kGalleryPicture});
        EXPECT_TRUE(result.set.descriptionPictures.isEmpty());
        EXPECT_EQ(result.descriptionCutShort, DescriptionProblem::None);
        EXPECT_EQ(rig.browser3.navigations.size(), c.documentLoads * 2);
    }
}

// A description document that is a login page blocks the item as the item page's own would.
TEST(CollectDescriptionFailures, ALoginPageInsteadBlocksTheItem)
{
    CollectRig rig;
    nameADescriptionDocument(rig);
    rig.browser3.onNavigate = [&rig](const QString &) {
        rig.browser3.shownAddress = QUrl(QStringLiteral("https://login.taobao.com/member/login.jhtml"));
    };
    const CollectResult result = rig.collect();
    EXPECT_EQ(result.status, CollectResult::Status::Blocked);
    EXPECT_EQ(result.failure, CollectFailure::Blocked);
    EXPECT_EQ(result.gate, talvesk::MarketplaceGate::Kind::Login);
}

// Stop ends only the document's read; without a collect limit a document still ends after 120 s.
TEST(CollectDescriptionFailures, StopAndTheWindowsDeadlineEndOnlyTheDocument)
{
    {
        CollectRig rig;
        nameADescriptionDocument(rig);
        rig.browser3.stateAfterNavigate = PageBrowser::LoadState::Loading;
        const auto result = started(rig.command.run(kAddress, rig.recorder()));
        rig.loop.runUntil([&] { return rig.lastPhase() == CollectProgress::Phase::ReadingDescription; });
        rig.command.abort(CollectAbort::Stopped);
        rig.loop.runUntil([&] { return result->has_value(); });

        ASSERT_TRUE(result->has_value());
        const CollectResult &collected = **result;
        ASSERT_TRUE(collected.ok());
        EXPECT_EQ(collected.set.mainPictures.addresses(), QStringList{kGalleryPicture});
        EXPECT_TRUE(collected.descriptionStopped);
        EXPECT_EQ(collected.descriptionFailure, DescriptionProblem::None);
        EXPECT_EQ(rig.browser3.navigations.last(), QStringLiteral("about:blank"));
    }
    {
        CollectRig rig;
        nameADescriptionDocument(rig);
        rig.browser3.stateAfterNavigate = PageBrowser::LoadState::Loading;
        rig.loop.setMillisecondsPerTurn(1000);
        const CollectResult result = rig.collect();
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.descriptionFailure, DescriptionProblem::TimedOut);
        EXPECT_EQ(result.timeLimitSeconds, 120);
    }
}

// Ending the collect during the document's read ends it as in any other phase.
TEST(CollectDescriptionFailures, AbortDuringTheDocumentEndsTheCollect)
{
    for (const CollectAbort reason : {CollectAbort::Navigated, CollectAbort::Closing}) {
        CollectRig rig;
        nameADescriptionDocument(rig);
        rig.browser3.stateAfterNavigate = PageBrowser::LoadState::Loading;
        const auto result = started(rig.command.run(kAddress));
        rig.loop.runUntil([&] { return !rig.browser3.navigations.isEmpty(); });
        rig.command.abort(reason);
        rig.loop.runUntil([&] { return result->has_value(); });

        ASSERT_TRUE(result->has_value());
        EXPECT_EQ((*result)->status, reason == CollectAbort::Closing ? CollectResult::Status::Closing
                                                                     : CollectResult::Status::Failed);
        EXPECT_FALSE(rig.command.isRunning());
    }
}
