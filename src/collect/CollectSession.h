// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/CollectCommand.h"
#include "platform/Waits.h"

#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace talvesk {

class EventLoop;
class PageBrowser;
class PendingCall;

// One collect's session with its pages: the item page and the unseen description page, the
// deadlines of both, the one turn to scroll they share, the waits and the report. The command
// shares it with its running frames, which hold it: a command may go while they end, from the
// event loop.
class CollectSession final
{
public:
    CollectSession(PageBrowser &itemBrowser, PageBrowser &descriptionBrowser, EventLoop &loop)
        : m_itemBrowser(itemBrowser), m_descriptionBrowser(&descriptionBrowser), m_loop(loop)
    {
    }

    // The collect, holding its session for as long as it runs.
    static QCoro::Task<CollectResult> run(std::shared_ptr<CollectSession> self, QString address,
                                          CollectCommand::ProgressReport report)
    {
        co_return co_await self->collect(std::move(address), std::move(report));
    }
    void abort(CollectAbort reason);
    // The command goes: the running collect ends from the event loop, reporting nothing more.
    void leave();
    void setDescriptionBrowser(PageBrowser &browser);

    int m_timeLimitSeconds = 0;
    ScrollTurns *m_scrollTurns = nullptr;
    bool m_running = false;

private:
    // Ends the whole collect, and its description read, for this reason unless it was ended
    // for another already.
    void endCollect(CollectAbort reason);
    QCoro::Task<CollectResult> collect(QString address, CollectCommand::ProgressReport report);
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
            CutShort,     // its waits were aborted, or a page it depends on went
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
    QCoro::Task<Waited<MarketplaceGate::Kind>> gateOf(Waits &waits, PageBrowser &browser,
                                                      PageDocument &document);
    // Fills the set from one read of the page: the classic blocks or today's areas.
    // readAsClassic tells whether the classic blocks filled it.
    QCoro::Task<Waited<CollectFailure>> readPictures(Waits &waits, PageDocument &document, int generation,
                                                     CollectedSet &set, bool &readAsClassic);
    // The page's data, as its scripts hold it; nothing found when it cannot be read.
    QCoro::Task<Waited<ItemData>> readData(Waits &waits, PageDocument &document);
    // Whether the page holds a description of its own.
    QCoro::Task<Waited<bool>> holdsDescription(Waits &waits, PageDocument &document);
    // The description document the page's data names, when it names one.
    QCoro::Task<Waited<DescriptionRead>> readNamedDescription(Waits &waits, const DescriptionAddress &named,
                                                              PictureList &pictures);
    QCoro::Task<DescriptionRead> readDescriptionDocument(const QUrl &url, PictureList &pictures);
    // The pictures a description document shows now, into pictures; empty when read, else why not.
    QCoro::Task<Waited<DescriptionProblem>> readShownPictures(Waits &waits, PageDocument &document,
                                                              int generation, PictureList &pictures);
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
    QCoro::Task<Waited<ScrollTurns::Turn>> turnToScroll(Waits &waits);
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
    CollectCommand::ProgressReport m_report; // the running collect's
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
    // The item page's turn to scroll, kept for its description document's scroll.
    ScrollTurns::Turn m_keptTurn;
    std::int64_t m_deadlineAt = 0; // by the loop's clock, when there is a time limit
};

} // namespace talvesk
