// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/MarketplaceGate.h"
#include "collect/PictureList.h"
#include "collect/PreviewPage.h"
#include "platform/MessageList.h"

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
class PageDocument;
class PendingCall;
class Waits;
class WindowControls;

struct CollectResult
{
    enum class Status {
        Failed,    // the page could not be loaded or read, or the collect was ended; the set is cleared
        Blocked,   // the marketplace asks to log in or to pass a check first; the set is cleared
        Refused,   // not started: a collect runs already, or the address is empty
        Closing,   // ended because the program closes: nothing more was shown
        Stopped,   // the user stopped it: the page and the set before it are left as they are
        Collected, // the set is filled and the preview shown
    };

    Status status = Status::Failed;
    QString errorString; // the message line shown, unless Collected
    PreviewCounts counts;
    QString address;     // the address the collect reloaded
    CollectedSet set;    // what was collected; cleared when Failed
    QStringList notices; // shown before the summary: a page that kept growing, lists that overflowed
    // Why the description document the page named could not be read; empty when it was read
    // or none was needed.
    QString descriptionFailure;

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
// growing page for at most 300,000 px or 5 minutes, with a notice line), reads the title and
// the picture addresses (of the four recognised div blocks, or of today's script-rendered
// page; a page where it finds no picture fails), shows the preview and a count summary, and returns what it
// collected: the command keeps no set, the window or the command line does. It runs as a coroutine: every
// wait returns to the event loop, so the window stays responsive and several collects (one per pair of
// browsers) run side by side on one thread. Its progress line counts the seconds since it began by the
// loop's clock.
class CollectCommand final
{
public:
    // The description browser is never shown: it loads the description document that a
    // page's data names when the page shows no description of its own.
    CollectCommand(PageBrowser &itemBrowser, PageBrowser &previewBrowser, PageBrowser &descriptionBrowser,
                   WindowControls &window, MessageList &messages, EventLoop &loop);
    ~CollectCommand();
    CollectCommand(const CollectCommand &) = delete;
    CollectCommand &operator=(const CollectCommand &) = delete;

    // Loading and scrolling must end within this many seconds, or the collect fails; 0: no limit.
    void setTimeLimit(int seconds) { m_timeLimitSeconds = seconds; }

    // The command outlives the returned task, or aborts it first.
    QCoro::Task<CollectResult> run(QString address);
    // Ends a running collect from whatever it waits for, once this call has returned (see
    // Waits); nothing when none runs. A command destroyed while a collect runs ends it at once.
    void abort(CollectAbort reason);

    bool isRunning() const { return m_running; }

private:
    class Running;

    QCoro::Task<QString> waitUntilLoaded(Waits &waits, PageBrowser &browser, int generation);
    // Whether the browser's page is a login or check page, by its address and what it shows.
    QCoro::Task<MarketplaceGate::Kind> gateOf(Waits &waits, PageBrowser &browser, PageDocument &document);
    // Fills the set from one read of the page: the classic blocks or today's areas.
    QCoro::Task<QString> readPictures(Waits &waits, PageDocument &document, int generation,
                                      CollectedSet &set);
    // The description document the page's data names, when it names one; empty on success or
    // when none is named, else why it could not be read.
    QCoro::Task<QString> readNamedDescription(Waits &waits, PageDocument &document, PictureList &pictures);
    QCoro::Task<QString> readDescriptionDocument(const QUrl &url, PictureList &pictures);
    // Why a document failed to load or navigated away, or shows a login or check instead.
    QString descriptionFailure(Waits &waits, const QString &reason) const;
    // The message for a failed read, unless the page did not answer in time or went away.
    QString readFailure(int generation, const QString &message) const;
    CollectResult ended(const QString &message);
    CollectResult fail(const QString &message);
    CollectResult blocked(MarketplaceGate::Kind gate);
    // The collect's line with the seconds since it began, in the words of its phase.
    void showElapsed();
    // Rewrites the line at every whole second, whatever the collect waits for.
    void keepClock();

    PageBrowser &m_itemBrowser;
    PageBrowser &m_previewBrowser;
    PageBrowser &m_descriptionBrowser;
    WindowControls &m_window;
    MessageList &m_messages;
    EventLoop &m_loop;
    int m_timeLimitSeconds = 0;

    bool m_running = false;
    MessageLine m_progressLine = 0;
    std::int64_t m_startedAt = 0;         // by the loop's clock
    std::unique_ptr<PendingCall> m_clock; // the next rewrite of the progress line
    bool m_readingDescription = false;    // the line tells of the description document
    Waits *m_waits = nullptr;             // the running collect's
    Waits *m_descriptionWaits = nullptr;  // the running description document read's
    bool m_descriptionTimedOut = false;
    std::optional<CollectAbort> m_abortReason; // of the running collect, once ended from outside
    std::unique_ptr<PendingCall> m_deadline;
    std::int64_t m_deadlineAt = 0; // by the loop's clock, when there is a time limit
};

} // namespace talvesk
