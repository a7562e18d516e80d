// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ScrollPhase.h"

#include "platform/EventLoop.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/WaitForChange.h"
#include "platform/Waits.h"

#include <optional>
#include <utility>

namespace talvesk {

namespace {

// A page that has not drawn its latest scroll position, or got no further with handling its
// scrolls, in this long is not waited for again until it draws once more: it may draw nothing
// for good (a minimised window, say).
constexpr std::int64_t kDrawWaitMs = 1000;

// A page that keeps growing (an endless feed) would hold the scroll phase for good.
constexpr std::int32_t kDistanceLimit = 300000;
constexpr std::int64_t kTimeLimitMs = 5 * 60 * 1000;

constexpr std::int64_t kCheckIntervalMs = 10 * 1000;

} // namespace

ScrollPhase::ScrollPhase(PageBrowser &browser, EventLoop &loop)
    : m_browser(browser), m_loop(loop), m_start(loop.now())
{
}

int ScrollPhase::elapsedSeconds() const
{
    return static_cast<int>((m_loop.now() - m_start) / 1000);
}

QCoro::Task<ScrollPhase::End> ScrollPhase::run(Waits &waits, PageDocument &document, int height,
                                               int generation, std::function<void(int)> onPass)
{
    m_lastHeight = height;
    m_currentHeight = height;
    // The sum of the requested steps, not the page's real position, ends the phase. Each pass
    // scrolls and reads the height the next pass tests in one round trip to the page.
    std::int32_t scrolled = 0;
    for (;;) {
        if (scrolled >= height) {
            // The height read with the last scroll may predate the page's answer to it.
            const Waited<PageAnswer<int>> handled = co_await heightOnceScrollHandled(waits, document);
            if (handled.cutShort())
                co_return End::Aborted;
            if (const std::optional<End> end = takeHeight(*handled, height))
                co_return *end;
            if (scrolled >= height)
                co_return End::Bottom;
        }
        if (scrolled >= kDistanceLimit)
            co_return End::DistanceLimit;
        if (m_loop.now() - m_start >= kTimeLimitMs)
            co_return End::TimeLimit;

        // One return to the event loop per pass: waiting for the page's answer to the last one
        // was one already, unless the answer came at once.
        if (!waits.returnedToLoop()) {
            const Waited<bool> turn = co_await waits.nextTurn();
            if (turn.cutShort())
                co_return End::Aborted;
        }
        if (m_browser.loadGeneration() != generation)
            co_return End::PageGone;
        widenStep();
        scrolled += m_step;
        onPass(elapsedSeconds());
        const int step = m_step;
        const Waited<PageAnswer<ScrolledPage>> answer =
            co_await waits.answer<PageAnswer<ScrolledPage>>([&](PageDocument::Reply<ScrolledPage> reply) {
                document.scrollByReadingHeight(0, step, std::move(reply));
            });
        if (answer.cutShort())
            co_return End::Aborted;
        const PageAnswer<ScrolledPage> &next = *answer;
        const PageAnswer<int> nextHeight =
            next ? PageAnswer<int>(next->height) : PageAnswer<int>(next.failure());
        if (const std::optional<End> end = takeHeight(nextHeight, height))
            co_return *end;
        m_position = next->position;
        if (m_browser.drawingBehind(m_position)) {
            const Waited<bool> caughtUp = co_await letDrawingCatchUp(waits);
            if (caughtUp.cutShort())
                co_return End::Aborted;
        } else {
            m_waitForDrawing = true;
        }
    }
}

// How a read of the height ends the phase, if it does; otherwise it is the height from now on.
std::optional<ScrollPhase::End> ScrollPhase::takeHeight(const PageAnswer<int> &read, int &height)
{
    if (!read) {
        switch (read.failure()) {
        case ReadFailure::Gone:
            return End::PageGone;
        case ReadFailure::Unresponsive:
            return End::Unresponsive;
        case ReadFailure::Failed:
            break;
        }
        return End::NoBody;
    }
    height = *read;
    m_currentHeight = height;
    return std::nullopt;
}

// The checks due by now, each at a tenth second of the phase.
void ScrollPhase::widenStep()
{
    const auto due = static_cast<int>((m_loop.now() - m_start) / kCheckIntervalMs);
    for (; m_checks < due; ++m_checks) {
        if (m_lastHeight == m_currentHeight)
            m_step += 2;
        else
            m_lastHeight = m_currentHeight;
    }
}

QCoro::Task<Waited<bool>> ScrollPhase::letDrawingCatchUp(Waits &waits)
{
    // The page's lazy loaders watch it as drawn: scrolling on while the drawing lags most of a
    // view behind would carry places past them unseen. A page that has not drawn in a second
    // is not waited for again until it draws (a minimised window draws nothing).
    const std::int64_t start = m_loop.now();
    while (m_waitForDrawing && m_browser.drawingBehind(m_position)) {
        const std::int64_t left = kDrawWaitMs - (m_loop.now() - start);
        if (left <= 0) {
            m_waitForDrawing = false;
            break;
        }
        const Waited<bool> changed = co_await waitForChange(waits, m_browser, static_cast<int>(left));
        if (changed.cutShort())
            co_return changed;
    }
    co_return Waited(true);
}

QCoro::Task<Waited<PageAnswer<int>>> ScrollPhase::heightOnceScrollHandled(Waits &waits,
                                                                          PageDocument &document)
{
    // A page grows from its handlers of the scroll events, which it dispatches only with its next
    // frame and whose work may wait for a timer: the page itself tells when it has got through
    // them, at the pace of its own frames, which is no matter of time. Only a page that gets no
    // further for a second, drawing nothing, is not waited for.
    bool restart = true;
    std::optional<ScrollHandling::Stage> stage;
    std::int64_t progressed = m_loop.now();
    for (;;) {
        const Waited<PageAnswer<ScrollHandling>> answer =
            co_await waits.answer<PageAnswer<ScrollHandling>>([&](PageDocument::Reply<ScrollHandling> reply) {
                document.scrollHandling(restart, std::move(reply));
            });
        if (answer.cutShort())
            co_return Waited<PageAnswer<int>>();
        const PageAnswer<ScrollHandling> &handling = *answer;
        if (!handling)
            co_return Waited(PageAnswer<int>(handling.failure()));
        restart = false;
        if (handling->stage == ScrollHandling::Stage::Handled || !m_waitForDrawing)
            co_return Waited(PageAnswer<int>(handling->height));
        if (handling->stage != stage) {
            stage = handling->stage;
            progressed = m_loop.now();
        } else if (m_loop.now() - progressed >= kDrawWaitMs) {
            m_waitForDrawing = false;
            co_return Waited(PageAnswer<int>(handling->height));
        }
        if (!waits.returnedToLoop()) {
            const Waited<bool> turn = co_await waits.nextTurn();
            if (turn.cutShort())
                co_return Waited<PageAnswer<int>>();
        }
    }
}

} // namespace talvesk
