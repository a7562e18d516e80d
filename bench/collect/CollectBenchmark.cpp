// SPDX-License-Identifier: GPL-3.0-or-later
// Times collects in the real browser engine, headless:
//   read: <seconds> s for 100000 divs
//     on a page of 100,000 empty div elements, from the end of the scroll phase to the end of
//     the collect: the settle's 300 ms, the reads that find the page's classic blocks among
//     the divs, the walk of those blocks and the preview;
//   collect with document: <a> s; item page alone <b> s; document alone <c> s
//     today's page whose description lives in a document, against the item page collected
//     without it and the document collected as a page of its own (medians of three);
//   collect <layout>: <S> s for <H> px, <F>/<E> pictures, <P> passes, <C> s scrolling, <L> s floor,
//                     <T> turns, <D> drawing waits, <K> ms end check, <R> s floor on a fresh load
//     one collect of a 30,000 px page whose 100 description pictures enter the markup only
//     when scrolled into view, once in the classic layout and once as today's script-rendered
//     page: the whole collect, its scroll phase alone (from the first pass to its end, the
//     check that the page has handled its last scrolls included), and the floor, P bare passes
//     (one event-loop turn plus one script call that scrolls and reads the height) made
//     afterwards on the same page. T counts the phase's returns to the event loop (one a pass
//     at best, as the floor's), D its waits for the page's drawing to catch up, K the time
//     from its last pass to its end: figures that, unlike the times, do not depend on the
//     machine's load. The last figure is the floor again on the page loaded afresh, which
//     lays out and paints each place for the first time as the collect's passes do: the
//     engine's own cost of a first visit, which the floor on the page already visited lacks.

#include "app/CollectMessages.h"
#include "app/WaitUntil.h"
#include "collect/CollectCommand.h"
#include "collect/PictureList.h"
#include "platform/EventLoop.h"
#include "platform/qt/EngineEnvironment.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageBrowser.h"
#include "support/CurrentLayoutPages.h"
#include "support/SampleShop.h"
#include "support/TaskResult.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

using namespace talvesk;

namespace {

constexpr int kHeight = 30000;
constexpr int kPictures = 100;
constexpr int kReadDivs = 100000;
constexpr int kDescriptionHeight = 15000;

double seconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e9;
}

// Counts the scroll passes and times them from the collect's reports: it reports once as the
// phase begins and then once per pass. The phase is timed from the first pass to the last. It
// also times the reads after the scroll phase and the description document's passes.
class ScrollPassCounter final
{
public:
    ScrollPassCounter() { m_clock.start(); }
    void report(const CollectProgress &progress)
    {
        const qint64 now = m_clock.nsecsElapsed();
        switch (progress.phase) {
        case CollectProgress::Phase::ReadingDescription:
            if (description.passes++ == 0)
                description.first = now;
            description.ns = now - description.first;
            return;
        case CollectProgress::Phase::Reloading:
            return;
        case CollectProgress::Phase::Reading:
            if (m_readStart < 0)
                m_readStart = now;
            return;
        case CollectProgress::Phase::Finished:
            if (m_readStart >= 0)
                readNs = now - m_readStart;
            return;
        case CollectProgress::Phase::Scrolling:
            break;
        case CollectProgress::Phase::Loading:
        case CollectProgress::Phase::ReadingBlocks:
            return;
        }
        // The collect's clock reports from a timer once a second: no pass.
        if ((inTimer && *inTimer) || !std::exchange(m_scrolling, true))
            return;
        lastNs = now;
        if (passes++ == 0)
            firstNs = lastNs;
    }
    qint64 elapsedNs() const { return m_clock.nsecsElapsed(); }
    const bool *inTimer = nullptr; // set while the loop runs a timer's call

    struct Phase
    {
        int passes = 0;
        qint64 ns = 0;
        qint64 first = 0;
    };

    int passes = 0;
    qint64 firstNs = 0; // on this counter's clock
    qint64 lastNs = 0;
    Phase description; // the description document's scroll phase, with its load
    qint64 readNs = 0; // from the end of the scroll phase to the end of the collect

private:
    QElapsedTimer m_clock;
    bool m_scrolling = false;
    qint64 m_readStart = -1;
};

// The collect's pause after its scroll phase, the first timer it asks for once its passes have
// begun other than a wait for the page's drawing.
constexpr int kCollectSettleMs = 300;

// Watches the scroll phase through the collect's event loop: from its first pass to the pause
// after it, the calls it posts (its returns to the loop) and the timers it asks for (its waits
// for the page's drawing).
class PhaseLoop final : public EventLoop
{
public:
    PhaseLoop(EventLoop &loop, ScrollPassCounter &passes) : m_loop(loop), m_passes(passes)
    {
        passes.inTimer = &m_inTimer;
    }
    std::int64_t now() const override { return m_loop.now(); }
    std::unique_ptr<PendingCall> post(std::function<void()> then) override
    {
        if (inPhase())
            ++turns;
        return m_loop.post(std::move(then));
    }
    std::unique_ptr<PendingCall> inBackground(std::function<std::function<void()>()> work) override
    {
        return m_loop.inBackground(std::move(work));
    }
    std::unique_ptr<PendingCall> after(int milliseconds, std::function<void()> then) override
    {
        // The clock's timer sets itself again from its own call: not the phase's.
        if (inPhase() && !m_inTimer) {
            if (milliseconds == kCollectSettleMs)
                endNs = m_passes.elapsedNs();
            else
                ++drawingWaits;
        }
        return m_loop.after(milliseconds, [this, then = std::move(then)] {
            m_inTimer = true;
            then();
            m_inTimer = false;
        });
    }

    int turns = 0;
    int drawingWaits = 0;
    qint64 endNs = -1; // on the pass counter's clock

private:
    bool inPhase() const { return m_passes.passes > 0 && endNs < 0; }

    EventLoop &m_loop;
    const ScrollPassCounter &m_passes;
    bool m_inTimer = false;
};

int found(const CollectedSet &set, const QStringList &expected)
{
    QSet<QString> collected;
    for (const PictureList *list : {&set.mainPictures, &set.colourPictures, &set.descriptionPictures}) {
        for (const QString &address : *list)
            collected.insert(address);
    }
    int count = 0;
    for (const QString &address : expected)
        count += collected.contains(address) ? 1 : 0;
    return count;
}

struct Run
{
    CollectResult result;
    qint64 totalNs = 0;
    qint64 scrollNs = 0;
    qint64 readNs = 0;
    int passes = 0;
    ScrollPassCounter::Phase description;
    int turns = 0;
    int drawingWaits = 0;
    qint64 endCheckNs = 0;
};

Run collect(QtPageBrowser &browser1, QtPageBrowser &browser3, QtEventLoop &loop, const QString &address)
{
    ScrollPassCounter messages;
    PhaseLoop phaseLoop(loop, messages);
    CollectCommand command(browser1, browser3, phaseLoop);

    Run run;
    QElapsedTimer clock;
    clock.start();
    const auto result = test::started(
        command.run(address, [&messages](const CollectProgress &progress) { messages.report(progress); }));
    test::waitUntil([&] { return result->has_value(); });
    run.result = **result;
    run.totalNs = clock.nsecsElapsed();
    const qint64 endNs = phaseLoop.endNs >= 0 ? phaseLoop.endNs : messages.lastNs;
    run.scrollNs = endNs - messages.firstNs;
    run.endCheckNs = endNs - messages.lastNs;
    run.description = messages.description;
    run.readNs = messages.readNs;
    run.passes = messages.passes;
    run.turns = phaseLoop.turns;
    run.drawingWaits = phaseLoop.drawingWaits;
    return run;
}

// P passes of the cheapest possible kind from the top of the page browser1 shows.
qint64 floorNs(QtPageBrowser &browser, int passes)
{
    const int generation = browser.loadGeneration();
    bool ready = false;
    browser.evaluate(QStringLiteral("window.scrollTo(0, 0); true"), generation,
                     [&ready](const PageAnswer<QVariant> &) { ready = true; });
    test::waitUntil([&] { return ready; });
    // Each pass returns to the loop once and makes one round trip, as the collect's do.
    const QString pass = QStringLiteral("window.scrollBy(0, 5); document.body.scrollHeight");
    int left = passes;
    std::function<void()> next = [&] {
        if (left-- <= 0)
            return;
        QTimer::singleShot(0, &browser, [&] {
            browser.evaluate(pass, generation, [&](const PageAnswer<QVariant> &) { next(); });
        });
    };
    QElapsedTimer clock;
    clock.start();
    next();
    test::waitUntil([&] { return left < 0; });
    return clock.nsecsElapsed();
}

QString manyDivsPage(int count)
{
    QString markup =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>许多div</title>"
                       "</head>\n<body>\n");
    markup.reserve(markup.size() + count * 12);
    for (int i = 0; i < count; ++i)
        markup += QStringLiteral("<div></div>\n");
    // One block the collect recognises, so that the page holds a picture.
    return markup +
           QStringLiteral("<div id=\"description\"><img src=\"//127.0.0.1/p.jpg\"></div>\n</body></html>\n");
}

} // namespace

int main(int argc, char **argv)
{
    selectHeadlessPlatform();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    test::SampleShop shop;
    const test::SampleItem classic = shop.tallItem(kHeight, kPictures);
    const QString divsPath = QStringLiteral("/bench/divs.htm");
    shop.server().route(divsPath, test::HttpResponse::html(manyDivsPage(kReadDivs)));

    QWebEngineProfile profile;
    QWidget host;
    host.resize(1024, 768);
    QtPageBrowser browser1(&profile, &host);
    QtPageBrowser browser3(&profile, &host);
    browser1.view()->setGeometry(0, 0, 1024, 768);
    host.show(); // a hidden page gets no scroll events and reveals nothing

    QtEventLoop loop;
    bool ok = true;

    const Run divs = collect(browser1, browser3, loop, shop.server().url(divsPath).toString());
    if (!divs.result.ok()) {
        std::printf("collect of the divs failed: %s\n",
                    CollectMessages::failure(divs.result).toUtf8().constData());
        ok = false;
    }
    std::printf("read: %.2f s for %d divs\n", seconds(divs.readNs), kReadDivs);
    std::fflush(stdout);

    const auto timeCollect = [&](const char *layout, const test::SampleItem &page) {
        browser1.setVisible(true);
        const Run run = collect(browser1, browser3, loop, page.url.toString());
        int height = 0;
        if (const auto document = browser1.document()) {
            bool read = false;
            document->scrollToTopReadingHeight([&](const PageAnswer<int> &value) {
                height = value.value().value_or(0);
                read = true;
            });
            test::waitUntil([&] { return read; });
        }
        browser1.setVisible(true);
        const qint64 floor = floorNs(browser1, run.passes);
        // The same passes on the page loaded afresh (from another page, so not scrolled back to
        // where it was), which has to lay out and paint each place once as the collect did.
        const auto load = [&](const QString &address) {
            browser1.navigate(address);
            test::waitUntil([&] { return browser1.loadState() != PageBrowser::LoadState::Loading; });
        };
        load(QStringLiteral("about:blank"));
        load(page.url.toString());
        const qint64 freshFloor = floorNs(browser1, run.passes);

        const QStringList expected = page.mainPictures + page.colourPictures + page.descriptionPictures;
        const int foundCount = found(run.result.set, expected);
        if (!run.result.ok()) {
            std::printf("collect %s failed: %s\n", layout,
                        CollectMessages::failure(run.result).toUtf8().constData());
            ok = false;
        }
        ok = ok && foundCount == expected.size();
        std::printf(
            "collect %s: %.2f s for %d px, %d/%d pictures, %d passes, %.2f s scrolling, %.2f s floor, "
            "%d turns, %d drawing waits, %.0f ms end check, %.2f s floor on a fresh load\n",
            layout, seconds(run.totalNs), height, foundCount, static_cast<int>(expected.size()), run.passes,
            seconds(run.scrollNs), seconds(floor), run.turns, run.drawingWaits,
            seconds(run.endCheckNs) * 1000, seconds(freshFloor));
        std::fflush(stdout);
    };
    timeCollect("classic", classic);
    const QString currentPath = QStringLiteral("/bench/current.htm");
    const test::ItemPageMarkup current =
        test::tallCurrentLayoutPage(shop.port(), currentPath, kHeight, kPictures);
    shop.server().route(currentPath, test::HttpResponse::html(current.markup));
    timeCollect("current", current.item);

    // Today's page without its description, which lives in a document of its own kHeight / 2 px
    // tall: the document's phase counts from its first progress line, its load included.
    const QString documentPath = QStringLiteral("/bench/desc.htm");
    const test::ItemPageMarkup document =
        test::tallCurrentLayoutPage(shop.port(), documentPath, kDescriptionHeight, kPictures);
    shop.server().route(documentPath, test::HttpResponse::html(document.markup));
    const QString namingPath = QStringLiteral("/bench/naming.htm");
    const test::ItemPageMarkup naming =
        test::currentLayoutPage(shop.port(), namingPath, test::Generation::IceContainer,
                                test::Marketplace::Tmall, {false, documentPath});
    shop.server().route(namingPath, test::HttpResponse::html(naming.markup));
    browser3.view()->setGeometry(0, 0, 1024, 768);
    const Run run = collect(browser1, browser3, loop, naming.item.url.toString());
    browser3.navigate(shop.server().url(documentPath).toString());
    test::waitUntil([&] { return browser3.loadState() != PageBrowser::LoadState::Loading; });
    const qint64 floor = floorNs(browser3, run.description.passes);
    const int pictures = run.result.set.descriptionPictures.size();
    ok = ok && run.result.ok() && run.result.descriptionFailure == DescriptionProblem::None &&
         pictures == document.item.mainPictures.size() + document.item.descriptionPictures.size();
    std::printf(
        "collect description document: %d px, %d pictures, %d passes, %.2f s scrolling, %.2f s floor\n",
        kDescriptionHeight, pictures, run.description.passes, seconds(run.description.ns), seconds(floor));
    std::fflush(stdout);

    // The page with its document against the same two pages collected alone: the item page
    // without the data that names the document, and the document as a page of its own. Each
    // the median of three collects.
    const QString alonePath = QStringLiteral("/bench/alone.htm");
    shop.server().route(
        alonePath, test::HttpResponse::html(
                       QString(naming.markup)
                           .replace(QStringLiteral("__ICE_APP_CONTEXT__"), QStringLiteral("__ICE_UNNAMED__"))
                           .replace(QStringLiteral("\"pcADescUrl\""), QStringLiteral("\"unnamed\""))));
    const auto median = [&](const QString &address) {
        std::vector<qint64> times;
        for (int i = 0; i < 3; ++i) {
            const Run timed = collect(browser1, browser3, loop, address);
            ok = ok && timed.result.ok();
            times.push_back(timed.totalNs);
        }
        std::sort(times.begin(), times.end());
        return seconds(times[1]);
    };
    const double withDocument = median(naming.item.url.toString());
    const double itemAlone = median(shop.server().url(alonePath).toString());
    const double documentAlone = median(shop.server().url(documentPath).toString());
    std::printf("collect with document: %.2f s; item page alone %.2f s; document alone %.2f s\n",
                withDocument, itemAlone, documentAlone);
    return ok ? 0 : 1;
}
