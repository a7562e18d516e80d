// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"
#include "collect/PreviewPage.h"
#include "platform/MessageList.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <cstdint>
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
    CollectCommand(PageBrowser &itemBrowser, PageBrowser &previewBrowser, WindowControls &window,
                   MessageList &messages, EventLoop &loop);
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

    QCoro::Task<QString> waitUntilLoaded(Waits &waits, int generation);
    // The classic reader: the four recognised div blocks and their extraction rules.
    QCoro::Task<QString> walkElements(Waits &waits, PageDocument &document, int generation,
                                      CollectedSet &set);
    // Today's script-rendered page, in one read.
    QCoro::Task<QString> readCurrentLayout(Waits &waits, PageDocument &document, int generation,
                                           CollectedSet &set);
    // The message for a failed read, unless the page did not answer in time or went away.
    QString readFailure(int generation, const QString &message) const;
    CollectResult ended(const QString &message);
    CollectResult fail(const QString &message);
    // The collect's line with the seconds since it began.
    void showElapsed();
    // Rewrites the line at every whole second, whatever the collect waits for.
    void keepClock();

    PageBrowser &m_itemBrowser;
    PageBrowser &m_previewBrowser;
    WindowControls &m_window;
    MessageList &m_messages;
    EventLoop &m_loop;
    int m_timeLimitSeconds = 0;

    bool m_running = false;
    MessageLine m_progressLine = 0;
    std::int64_t m_startedAt = 0;              // by the loop's clock
    std::unique_ptr<PendingCall> m_clock;      // the next rewrite of the progress line
    Waits *m_waits = nullptr;                  // the running collect's
    std::optional<CollectAbort> m_abortReason; // of the running collect, once ended from outside
    std::unique_ptr<PendingCall> m_deadline;
};

} // namespace talvesk
