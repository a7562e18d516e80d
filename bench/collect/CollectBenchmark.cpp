// SPDX-License-Identifier: GPL-3.0-or-later
// Times collects in the real browser engine, headless:
//   walk: <seconds> s for 100000 divs
//     the element walk alone, on a page of 100,000 empty div elements;
//   collect: <S> s for <H> px, <F>/<E> pictures, <P> passes, <C> s scrolling, <L> s floor
//     one collect of a 20,000 px page whose 100 description pictures enter the markup only
//     when scrolled into view: the whole collect, its scroll phase alone, and the floor, P
//     bare passes (one event-loop turn plus one script call that scrolls and reads the
//     height) made afterwards on the same page.

#include "app/WaitUntil.h"
#include "collect/CollectCommand.h"
#include "collect/PictureList.h"
#include "platform/MessageList.h"
#include "platform/SteadyClock.h"
#include "platform/WindowControls.h"
#include "platform/qt/EngineEnvironment.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageBrowser.h"
#include "platform/qt/QtTicker.h"
#include "support/SampleShop.h"
#include "support/TaskResult.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include <cstdio>
#include <functional>

using namespace talvesk;

namespace {

constexpr int kHeight = 20000;
constexpr int kPictures = 100;
constexpr int kWalkDivs = 100000;

double seconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e9;
}

// Counts the progress rewrites made while the timer runs: one per scroll pass.
class CountingMessages final : public MessageList
{
public:
    MessageLine insertLine(const QString &) override { return 0; }
    void setLine(MessageLine, const QString &) override
    {
        if (counting)
            ++passes;
    }

    bool counting = false;
    int passes = 0;
};

// Times the scroll phase (the timer runs) and the element walk (the window is disabled).
class BenchWindow final : public WindowControls
{
public:
    BenchWindow() { m_clock.start(); }
    void selectTab(Tab) override {}
    void setWindowEnabled(bool enabled) override
    {
        if (!enabled)
            m_walkStart = m_clock.nsecsElapsed();
        else if (m_walkStart >= 0)
            walkNs = m_clock.nsecsElapsed() - m_walkStart;
    }
    qint64 walkNs = 0;

private:
    QElapsedTimer m_clock;
    qint64 m_walkStart = -1;
};

// The collect's clock runs exactly through its scroll phase: timing it times that phase.
class ScrollTimingTicker final : public Ticker
{
public:
    explicit ScrollTimingTicker(CountingMessages &messages) : m_messages(messages) { m_clock.start(); }

    void start(std::function<void()> onTick) override
    {
        if (!m_running)
            m_scrollStart = m_clock.nsecsElapsed();
        m_running = true;
        m_messages.counting = true;
        m_ticker.start(std::move(onTick));
    }
    void stop() override
    {
        if (m_running)
            scrollNs = m_clock.nsecsElapsed() - m_scrollStart;
        m_running = false;
        m_messages.counting = false;
        m_ticker.stop();
    }

    qint64 scrollNs = 0;

private:
    CountingMessages &m_messages;
    QObject m_owner;
    QtTicker m_ticker{&m_owner, QStringLiteral("Timer1")};
    QElapsedTimer m_clock;
    qint64 m_scrollStart = 0;
    bool m_running = false;
};

int found(const CollectedSet &set, const QStringList &expected)
{
    QSet<QString> collected;
    for (const PictureList *list : {&set.mainPictures, &set.colourPictures, &set.descriptionPictures}) {
        for (int i = 0; i < countPictures(*list); ++i)
            collected.insert((*list)[i]);
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
    qint64 walkNs = 0;
    int passes = 0;
};

Run collect(QtPageBrowser &browser1, QtPageBrowser &browser2, QtEventLoop &loop, CollectedSet &set,
            const QString &address)
{
    CountingMessages messages;
    BenchWindow window;
    ScrollTimingTicker ticker(messages);
    const SteadyClock steadyClock;
    CollectCommand command(browser1, browser2, window, messages, loop, steadyClock, ticker, set);

    Run run;
    QElapsedTimer clock;
    clock.start();
    const auto result = test::started(command.run(address));
    test::waitUntil([&] { return result->has_value(); });
    run.result = **result;
    run.totalNs = clock.nsecsElapsed();
    run.scrollNs = ticker.scrollNs;
    run.walkNs = window.walkNs;
    run.passes = messages.passes;
    return run;
}

// P passes of the cheapest possible kind from the top of the page browser1 shows.
qint64 floorNs(QtPageBrowser &browser, int passes)
{
    const int generation = browser.loadGeneration();
    bool ready = false;
    browser.evaluate(QStringLiteral("window.scrollTo(0, 0); true"), generation,
                     [&ready](const std::optional<QVariant> &) { ready = true; });
    test::waitUntil([&] { return ready; });
    // Each pass returns to the loop once and makes one round trip, as the collect's do.
    const QString pass = QStringLiteral("window.scrollBy(0, 5); document.body.scrollHeight");
    int left = passes;
    std::function<void()> next = [&] {
        if (left-- <= 0)
            return;
        QTimer::singleShot(0, &browser, [&] {
            browser.evaluate(pass, generation, [&](const std::optional<QVariant> &) { next(); });
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
    return markup + QStringLiteral("</body></html>\n");
}

} // namespace

int main(int argc, char **argv)
{
    selectHeadlessPlatform();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    test::SampleShop shop;
    const test::SampleItem item = shop.tallItem(kHeight, kPictures);
    const QString walkPath = QStringLiteral("/bench/divs.htm");
    shop.server().route(walkPath, test::HttpResponse::html(manyDivsPage(kWalkDivs)));

    QWebEngineProfile profile;
    QWidget host;
    host.resize(1024, 768);
    QtPageBrowser browser1(&profile, &host);
    QtPageBrowser browser2(&profile, &host);
    browser1.view()->setGeometry(0, 0, 1024, 768);
    browser2.setVisible(false);
    host.show(); // a hidden page gets no scroll events and reveals nothing

    QtEventLoop loop;
    bool ok = true;

    CollectedSet walkSet;
    const Run walk = collect(browser1, browser2, loop, walkSet, shop.server().url(walkPath).toString());
    if (!walk.result.ok()) {
        std::printf("walk collect failed: %s\n", walk.result.errorString.toUtf8().constData());
        ok = false;
    }
    std::printf("walk: %.2f s for %d divs\n", seconds(walk.walkNs), kWalkDivs);
    std::fflush(stdout);

    browser1.setVisible(true);
    browser2.setVisible(false);
    CollectedSet set;
    const Run run = collect(browser1, browser2, loop, set, item.url.toString());
    int height = 0;
    if (const auto document = browser1.document()) {
        bool read = false;
        document->bodyScrollHeight([&](const std::optional<int> &value) {
            height = value.value_or(0);
            read = true;
        });
        test::waitUntil([&] { return read; });
    }
    browser1.setVisible(true);
    const qint64 floor = floorNs(browser1, run.passes);

    const QStringList expected = item.mainPictures + item.colourPictures + item.descriptionPictures;
    const int foundCount = found(set, expected);
    if (!run.result.ok()) {
        std::printf("collect failed: %s\n", run.result.errorString.toUtf8().constData());
        ok = false;
    }
    std::printf("collect: %.2f s for %d px, %d/%d pictures, %d passes, %.2f s scrolling, %.2f s floor\n",
                seconds(run.totalNs), height, foundCount, static_cast<int>(expected.size()), run.passes,
                seconds(run.scrollNs), seconds(floor));
    return ok && foundCount == expected.size() ? 0 : 1;
}
