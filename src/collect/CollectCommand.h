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

class CollectSession;
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
// several collects (one per pair of browsers) run side by side on one thread.
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
    void setTimeLimit(int seconds);
    // Reads description documents in this browser from the next collect on; not while one runs.
    void setDescriptionBrowser(PageBrowser &browser);
    // Pages scroll only in a turn of these, which outlive the command; none: at once. An item
    // gives its turn back once its page, and the description document it names, have scrolled.
    void setScrollTurns(ScrollTurns *turns);

    // Reports its progress as it goes: at once, at every whole second and at every step, and
    // once more with the final time when it has collected; never after it has returned, nor
    // once it is ended by the command's going. The browsers, the loop and the turns outlive
    // the returned task; the command need not.
    QCoro::Task<CollectResult> run(QString address, ProgressReport report = {});
    // Ends a running collect from whatever it waits for, once this call has returned (see
    // Waits); nothing when none runs. While the description document is read, the time limit
    // and a stop end that read only. A command destroyed while a collect runs ends it as the
    // program's closing does, and nothing more is reported.
    void abort(CollectAbort reason);

    bool isRunning() const;

private:
    // Everything a collect uses, shared with its running frames: a command that goes leaves
    // them ending on their own, from the event loop.
    std::shared_ptr<CollectSession> m_session;
};

} // namespace talvesk
