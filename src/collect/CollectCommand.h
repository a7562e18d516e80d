// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/ItemData.h"
#include "collect/MarketplaceGate.h"
#include "collect/PictureList.h"
#include "collect/ScrollPhase.h"
#include "collect/ScrollTurns.h"
#include "platform/PageDocument.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace talvesk {

class EventLoop;
class PageBrowser;
class PendingCall;
class Waits;

// Where a running collect is, and for how long it has run.
struct CollectProgress
{
    enum class Phase {
        Loading,            // the item page loads, from the press on
        Reloading,          // it came simplified and is loaded again: reload of reloads
        Scrolling,          // it is scrolled down, so that its lazy pictures come in
        ReadingBlocks,      // its classic blocks are read, one per turn of the event loop
        ReadingDescription, // the description document the page names is loaded and read
        Reading,            // the rest of the reading: the title and the pictures
        Finished,           // collected: the time it took
    };

    Phase phase = Phase::Loading;
    int seconds = 0; // since the collect began, by the loop's clock
    int reload = 0;  // while Reloading: which load again, from 1
    int reloads = 0; // while Reloading: at most how many
};

// Why a collect failed, was refused or was stopped.
enum class CollectFailure {
    None,
    Busy,               // refused: a collect runs already
    EmptyAddress,       // refused: no address to load
    Stopped,            // the user stopped it
    LoadFailed,         // the load failed or was stopped
    PageGone,           // the page navigated away or was reloaded, or a browser went
    TimeLimit,          // not loaded and scrolled within the time limit (timeLimitSeconds)
    NoDocument,         // the browser shows no document
    NoBody,             // the page has no body to scroll
    Unresponsive,       // the page's scripts kept it from answering
    NoTitle,            // the page has no title element
    UnreadablePictures, // its pictures could not be read
    NoPictures,         // neither reader found a picture
    Blocked,            // a login or check page instead (gate)
};

// Why the description document the page named was not read, or was read only in part.
enum class DescriptionProblem {
    None,
    AddressInvalid,  // the named address is not http(s)
    LoadFailed,      // its load failed
    Gone,            // it navigated elsewhere, or its page went
    Unreadable,      // it could not be read
    Unresponsive,    // its scripts kept it from answering
    Empty,           // it shows no picture
    TimedOut,        // the time limit (timeLimitSeconds) ran out
    DistanceLimit,   // read in part: it kept growing for 300,000 px
    ScrollTimeLimit, // read in part: it kept growing for 5 minutes
};

struct CollectResult
{
    enum class Status {
        Failed,    // the page could not be loaded or read, or the collect was ended; the set is cleared
        Blocked,   // the marketplace asks to log in or to pass a check first; the set is cleared
        Refused,   // not started: a collect runs already, or the address is empty
        Closing,   // ended because the program closes: nothing more is to be shown
        Stopped,   // the user stopped it: the page and the set before it are left as they are
        Collected, // the set is filled
    };

    Status status = Status::Failed;
    CollectFailure failure = CollectFailure::None;            // why, unless Collected or Closing
    MarketplaceGate::Kind gate = MarketplaceGate::Kind::None; // which gate, when Blocked
    // In seconds: the collect's time limit when it ran out (TimeLimit); when Collected, the
    // description document's (DescriptionProblem::TimedOut).
    int timeLimitSeconds = 0;
    CollectedSet set; // what was collected; cleared when Failed or Blocked
    // How the item page's scroll ended: at its bottom, or at a limit of a page still growing.
    ScrollPhase::End scrolled = ScrollPhase::End::Bottom;
    // Why the description document the page named could not be read at all.
    DescriptionProblem descriptionFailure = DescriptionProblem::None;
    // Why it was read only in part, its pictures so far kept.
    DescriptionProblem descriptionCutShort = DescriptionProblem::None;
    // 停止 ended the description read only: the rest of the item is kept.
    bool descriptionStopped = false;

    bool ok() const { return status == Status::Collected; }
};

// Why a collect is ended from outside.
enum class CollectAbort {
    Closing,   // the program closes: end without a word
    Navigated, // the user navigated the page elsewhere
    Stopped,   // the user asked it to stop
    TimeLimit, // the page did not load and scroll within the time limit
};

// The collect button: reloads the item page from the given address, waits for it, scrolls it
// to the bottom so lazily loaded pictures enter the markup (see ScrollPhase; an endlessly
// growing page for at most 300,000 px or 5 minutes, with a notice), reads the title and the
// picture addresses (of the four recognised div blocks, or of today's script-rendered page; a
// page where it finds no picture fails), and returns what it collected: the command keeps no
// set, writes no preview and says nothing; the window or the command line does. It runs as
// a coroutine: every wait returns to the event loop, so the window stays responsive and
// several collects (one per trio of browsers) run side by side on one thread.
class CollectCommand final
{
public:
    using ProgressReport = std::function<void(const CollectProgress &)>;

    // The description browser is never shown: it loads the description document that a
    // page's data names when the page shows no description of its own.
    CollectCommand(PageBrowser &itemBrowser, PageBrowser &descriptionBrowser, EventLoop &loop);
    ~CollectCommand();
    CollectCommand(const CollectCommand &) = delete;
    CollectCommand &operator=(const CollectCommand &) = delete;

    // Loading and scrolling must end within this many seconds, or the collect fails; 0: no limit.
    // A wait for a turn to scroll is not counted.
    void setTimeLimit(int seconds) { m_timeLimitSeconds = seconds; }
    // Reads description documents in this browser from the next collect on; not while one runs.
    void setDescriptionBrowser(PageBrowser &browser);
    // Pages scroll only in a turn of these, which outlive the command; none: at once. A page
    // gives its turn back once it has scrolled.
    void setScrollTurns(ScrollTurns *turns) { m_scrollTurns = turns; }

    // Reports its progress as it goes: at once, at every whole second and at every step, and
    // once more with the final time when it has collected; never after it has returned, nor
    // once it is ended by the command's going. The command outlives the returned task, or
    // aborts it first.
    QCoro::Task<CollectResult> run(QString address, ProgressReport report = {});
    // Ends a running collect from whatever it waits for, once this call has returned (see
    // Waits); nothing when none runs. While the description document is read, the time limit
    // and a stop end that read only. A command destroyed while a collect runs ends it at once.
    void abort(CollectAbort reason);

    bool isRunning() const { return m_running; }

private:
    class Running;

    // How loading a page and bringing in its lazy pictures ended.
    struct Visit
    {
        enum class End {
            Ready,        // loaded, scrolled down, settled: its document is read next
            LoadFailed,   // the load failed or was stopped
            Gone,         // the page navigated away, or went
            Blocked,      // a login or check page is shown instead (gate)
            NoDocument,   // the browser shows no document
            NoBody,       // it has no body to scroll
            Unresponsive, // it gave no answer in time
        };
        End end = End::Gone;
        MarketplaceGate::Kind gate = MarketplaceGate::Kind::None;
        int generation = 0;
        // How its scroll phase ended: at the bottom, or at a limit of a page still growing.
        ScrollPhase::End scrolled = ScrollPhase::End::Bottom;
        ItemData data;                 // an item page's, read after its load
        bool servedSimplified = false; // its data named no description at its last load
        std::unique_ptr<PageDocument> document;
    };

    // How a read of the description document ended.
    struct DescriptionRead
    {
        DescriptionProblem failure = DescriptionProblem::None;    // nothing could be read, why
        DescriptionProblem cutShort = DescriptionProblem::None;   // read in part, why
        bool stopped = false;                                     // 停止 ended it
        MarketplaceGate::Kind gate = MarketplaceGate::Kind::None; // a login or check page instead
    };

    // Loads the address into the browser and brings in its lazy pictures: the load, a check
    // for a login or check page, the scroll phase, the settle, the check again.
    QCoro::Task<Visit> visit(Waits &waits, PageBrowser &browser, const QString &address);
    QCoro::Task<Visit::End> waitUntilLoaded(Waits &waits, PageBrowser &browser, int generation);
    // Whether the browser's page is a login or check page, by its address and what it shows.
    QCoro::Task<MarketplaceGate::Kind> gateOf(Waits &waits, PageBrowser &browser, PageDocument &document);
    // Fills the set from one read of the page: the classic blocks or today's areas.
    // readAsClassic tells whether the classic blocks filled it.
    QCoro::Task<CollectFailure> readPictures(Waits &waits, PageDocument &document, int generation,
                                             CollectedSet &set, bool &readAsClassic);
    // The page's data, as its scripts hold it; nothing found when it cannot be read.
    QCoro::Task<ItemData> readData(Waits &waits, PageDocument &document);
    // Whether the page holds a description of its own.
    QCoro::Task<bool> holdsDescription(Waits &waits, PageDocument &document);
    // The description document the page's data names, when it names one.
    QCoro::Task<DescriptionRead> readNamedDescription(Waits &waits, const DescriptionAddress &named,
                                                      PictureList &pictures);
    QCoro::Task<DescriptionRead> readDescriptionDocument(const QUrl &url, PictureList &pictures);
    // The pictures a description document shows now, into pictures; empty when read, else why not.
    QCoro::Task<DescriptionProblem> readShownPictures(Waits &waits, PageDocument &document, int generation,
                                                      PictureList &pictures);
    // How a visit ends when a read of its page fails this way, unless the page is gone or
    // gave no answer.
    static Visit::End endOf(ReadFailure failure, Visit::End otherwise);
    // Why the description document could not be read, when its visit or its read ended so.
    static DescriptionProblem descriptionFailureOf(Visit::End end);
    // Why a read of the item page failed for this reason, unless the page went or gave no answer.
    CollectFailure readFailure(int generation, ReadFailure failure, CollectFailure otherwise) const;
    static CollectFailure visitFailure(const Visit &visit);
    CollectResult ended();
    CollectResult fail(CollectFailure failure);
    CollectResult blocked(MarketplaceGate::Kind gate);
    // Starts loading the description document the data names, for today's page, so that it
    // loads while the item page scrolls.
    void preloadDescription(const ItemData &data);
    // Waits for a turn to scroll, when pages take turns, with the time limit stopped meanwhile.
    QCoro::Task<ScrollTurns::Turn> turnToScroll(Waits &waits);
    // The description document's time limit, in seconds: the collect's, or a default.
    int descriptionTimeLimit() const;
    // Ends the collect, or its description read, once the time limit runs out from now on.
    void armTimeLimit();
    void setPhase(CollectProgress::Phase phase);
    // Reports the seconds since the collect began, in its phase.
    void showElapsed();
    // Reports at every whole second, whatever the collect waits for.
    void keepClock();

    PageBrowser &m_itemBrowser;
    PageBrowser *m_descriptionBrowser;
    EventLoop &m_loop;
    int m_timeLimitSeconds = 0;
    ScrollTurns *m_scrollTurns = nullptr;

    bool m_running = false;
    ProgressReport m_report; // the running collect's
    CollectProgress::Phase m_phase = CollectProgress::Phase::Loading;
    std::int64_t m_startedAt = 0;         // by the loop's clock
    std::unique_ptr<PendingCall> m_clock; // the next report of the time
    Waits *m_waits = nullptr;             // the running collect's
    Waits *m_descriptionWaits = nullptr;  // the running description document read's
    bool m_descriptionTimedOut = false;
    bool m_descriptionStopped = false;
    // The description document loaded ahead while the item page scrolls, until it is read.
    QString m_preloadedAddress;
    int m_preloadedGeneration = -1;
    int m_reload = 0;                          // of the item page, while it is loaded again
    std::optional<CollectAbort> m_abortReason; // of the running collect, once ended from outside
    std::unique_ptr<PendingCall> m_deadline;
    std::int64_t m_deadlineAt = 0; // by the loop's clock, when there is a time limit
};

} // namespace talvesk
