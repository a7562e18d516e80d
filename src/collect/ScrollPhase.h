// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageDocument.h"
#include "platform/Waits.h"

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <functional>
#include <optional>

namespace talvesk {

class EventLoop;
class PageBrowser;
class Waits;

// The collect's scroll phase: scrolls the item page down in small steps until the sum of the
// steps reaches the page's height, so that the pictures a page loads only when they come into
// view enter its markup. One step per turn of the event loop, paced by nothing else but the
// page's answers and, where it lags most of a view behind, its drawing. The step starts at 5 px
// and, by the loop's clock, at every tenth second of the phase it grows by 2 px if the height
// read by the latest pass equals the one remembered at the check before, or else remembers that
// height. The sum reaches the height only once the page has handled the scrolls up to there and
// drawn since, read from the page itself. A page that keeps growing ends the phase after 300,000
// px or 5 minutes.
class ScrollPhase final
{
public:
    enum class End {
        Bottom,        // the steps reached the page's height
        DistanceLimit, // 300,000 px scrolled on a page still growing
        TimeLimit,     // 5 minutes of scrolling on a page still growing
        PageGone,      // the page navigated away
        NoBody,        // a pass could not scroll or read the height
        Unresponsive,  // a pass got no answer in time: a script of the page's own keeps it busy
        Aborted,       // the waits were aborted
    };

    // The phase's clock starts now.
    ScrollPhase(PageBrowser &browser, EventLoop &loop);

    // Scrolls the document, first measured at height, of the browser's load `generation`;
    // onPass(seconds) is called at every pass with the seconds since the phase began.
    QCoro::Task<End> run(Waits &waits, PageDocument &document, int height, int generation,
                         std::function<void(int)> onPass);

    // Whole seconds since the phase began.
    int elapsedSeconds() const;

private:
    std::optional<End> takeHeight(const PageAnswer<int> &read, int &height);
    void widenStep();
    QCoro::Task<Waited<bool>> letDrawingCatchUp(Waits &waits);
    QCoro::Task<Waited<PageAnswer<int>>> heightOnceScrollHandled(Waits &waits, PageDocument &document);

    PageBrowser &m_browser;
    EventLoop &m_loop;
    const std::int64_t m_start;
    std::int32_t m_step = 5;
    std::int32_t m_lastHeight = 0;    // remembered at the last ten-second check
    std::int32_t m_currentHeight = 0; // read by the latest pass
    int m_position = 0;               // scrolled to by the latest pass
    int m_checks = 0;                 // ten-second checks made
    bool m_waitForDrawing = true;     // false while the page draws nothing
};

} // namespace talvesk
