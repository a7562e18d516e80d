// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectSession.h"

#include "collect/CurrentLayout.h"
#include "collect/Extraction.h"
#include "collect/ItemDataPictures.h"
#include "collect/ItemTitle.h"
#include "collect/MainVideos.h"
#include "collect/PagePictures.h"
#include "collect/PictureList.h"
#include "collect/ScrollPhase.h"
#include "platform/EventLoop.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/WaitForChange.h"
#include "platform/Waits.h"

#include <QScopeGuard>
#include <QStringList>

#include <algorithm>

namespace talvesk {

namespace {

const QString &detailId()
{
    static const QString id = QStringLiteral("detail");
    return id;
}
const QString &skuId()
{
    static const QString id = QStringLiteral("J_isku");
    return id;
}
const QString &tmallId()
{
    static const QString id = QStringLiteral("J_DetailMeta");
    return id;
}
const QString &descriptionId()
{
    static const QString id = QStringLiteral("description");
    return id;
}

// Lazy loaders answer the view after a delay of their own: an IntersectionObserver at the next
// frame, a throttled scroll handler up to a few hundred milliseconds later. The page gets this
// long after the last scroll before its markup is read.
constexpr int kSettleMs = 300;

// The marketplace serves a page simplified at random, per load: it is loaded again this many
// times at most.
constexpr int kReloads = 2;

// Without a time limit of the collect's, a description document still gets this long.
constexpr int kDescriptionTimeLimitSeconds = 120;

// Whether the page's data looks like the simplified page's: an item's record naming no
// description document.
bool mayBeSimplified(const ItemData &data)
{
    return data.found && !data.description.named;
}

CollectResult refused(CollectFailure failure)
{
    CollectResult result;
    result.status = CollectResult::Status::Refused;
    result.failure = failure;
    return result;
}

bool hasPictures(const CollectedSet &set)
{
    return countPictures(set) > 0;
}

// A classic page's description pictures that the page's loader left behind keep their real
// address in this attribute.
const QString &lazyDescriptionAttribute()
{
    static const QString attribute = QStringLiteral("data-ks-lazyload");
    return attribute;
}

} // namespace

void CollectSession::leave()
{
    // Ended as by the program's closing, from the loop: nothing more is reported.
    if (!m_running)
        return;
    m_report = nullptr;
    m_clock.reset();
    endCollect(CollectAbort::Closing);
}

void CollectSession::endCollect(CollectAbort reason)
{
    if (!m_abortReason)
        m_abortReason = reason;
    // Also when a browser has gone already: its going may not have woken the wait.
    m_waits->abort();
    if (m_descriptionWaits)
        m_descriptionWaits->abort();
}

// Marks a collect as running and holds its waits and its report; when it ends, however it
// ends, its clock and its time limit end too.
class CollectSession::Running final
{
public:
    Running(CollectSession &command, Waits &waits, CollectCommand::ProgressReport report) : m_command(command)
    {
        m_command.m_running = true;
        m_command.m_waits = &waits;
        m_command.m_report = std::move(report);
        m_command.m_abortReason.reset();
        m_command.m_phase = CollectProgress::Phase::Loading;
    }
    ~Running()
    {
        m_command.m_keptTurn = {};
        m_command.m_deadline.reset();
        m_command.m_clock.reset();
        m_command.m_report = nullptr;
        m_command.m_waits = nullptr;
        m_command.m_running = false;
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    CollectSession &m_command;
};

void CollectSession::setDescriptionBrowser(PageBrowser &browser)
{
    Q_ASSERT(!m_running);
    if (!m_running)
        m_descriptionBrowser = &browser;
}

void CollectSession::abort(CollectAbort reason)
{
    // Nothing runs, or it is ended already, and keeps the reason it was ended for.
    if (!m_waits || m_waits->aborted())
        return;
    // The time limit and 停止 end a description read with what the page gave; anything else
    // ends the whole collect.
    if (m_descriptionWaits && (reason == CollectAbort::TimeLimit || reason == CollectAbort::Stopped)) {
        (reason == CollectAbort::TimeLimit ? m_descriptionTimedOut : m_descriptionStopped) = true;
        m_descriptionWaits->abort();
        return;
    }
    endCollect(reason);
}

QCoro::Task<CollectResult> CollectSession::collect(QString address, CollectCommand::ProgressReport report)
{
    // A second run would reset scrollStep under the first one's scroll phase.
    if (m_running)
        co_return refused(CollectFailure::Busy);
    if (address.trimmed().isEmpty())
        co_return refused(CollectFailure::EmptyAddress);
    Waits waits(m_loop);
    waits.dependOn(m_itemBrowser.presence());
    waits.dependOn(m_descriptionBrowser->presence());
    const Running running(*this, waits, std::move(report));

    // The clock runs from the press, through the load and the scroll, so a slow page shows its
    // time passing.
    m_startedAt = m_loop.now();
    showElapsed();
    keepClock();
    m_deadlineAt = m_loop.now() + std::int64_t{m_timeLimitSeconds} * 1000;
    armTimeLimit();
    // A document loaded ahead and never read runs on unseen no longer than the collect.
    const auto unloadUnread = qScopeGuard([this, &waits] {
        if (m_preloadedGeneration >= 0 && !waits.gone())
            m_descriptionBrowser->navigateBlank();
        m_preloadedGeneration = -1;
    });

    const Visit page = co_await visit(waits, m_itemBrowser, address);
    if (page.end == Visit::End::CutShort)
        co_return ended();
    if (page.end == Visit::End::Blocked)
        co_return blocked(page.gate);
    if (page.end != Visit::End::Ready)
        co_return fail(visitFailure(page));
    PageDocument &document = *page.document;
    const int generation = page.generation;

    const Waited<PageAnswer<QString>> titleAnswer =
        co_await waits.answer<PageAnswer<QString>>([&](PageDocument::Reply<QString> reply) {
            document.firstInnerText(QStringLiteral("title"), std::move(reply));
        });
    if (titleAnswer.cutShort())
        co_return ended();
    const PageAnswer<QString> &titleText = *titleAnswer;
    const std::optional<QString> title = itemTitleFromText(titleText.value());
    if (!title)
        co_return fail(readFailure(generation, titleText ? ReadFailure::Failed : titleText.failure(),
                                   CollectFailure::NoTitle));
    CollectedSet set;
    set.itemTitle = *title;
    bool readAsClassic = false;
    const Waited<CollectFailure> failure =
        co_await readPictures(waits, document, generation, set, readAsClassic);
    if (failure.cutShort())
        co_return ended();
    if (*failure != CollectFailure::None)
        co_return fail(*failure);
    if (page.data.found && !readAsClassic)
        addWhatTheDataNames(page.data, m_itemBrowser.address(), set);

    CollectResult result;
    if (set.descriptionPictures.isEmpty()) {
        // A page that shows its own description is whole, whatever its data says.
        set.simplified = page.servedSimplified;
        const Waited<DescriptionRead> described =
            co_await readNamedDescription(waits, page.data.description, set.descriptionPictures);
        if (described.cutShort())
            co_return ended();
        const DescriptionRead &read = *described;
        if (m_itemBrowser.loadGeneration() != generation)
            co_return fail(CollectFailure::PageGone);
        if (read.gate != MarketplaceGate::Kind::None)
            co_return blocked(read.gate);
        result.descriptionFailure = read.failure;
        result.descriptionCutShort = read.cutShort;
        result.descriptionStopped = read.stopped;
    }
    if (!hasPictures(set))
        co_return fail(CollectFailure::NoPictures);

    set.videos = mainVideos(page.data.videos, m_itemBrowser.address());

    // The final report keeps the time it took.
    m_clock.reset();
    setPhase(CollectProgress::Phase::Finished);
    result.status = CollectResult::Status::Collected;
    result.scrolled = page.scrolled;
    result.timeLimitSeconds = descriptionTimeLimit();
    result.set = std::move(set);
    co_return result;
}

QCoro::Task<CollectSession::Visit> CollectSession::visit(Waits &waits, PageBrowser &browser,
                                                         const QString &address)
{
    // The item page's phases are the collect's; the description document's are all one.
    const bool itemPage = &browser == &m_itemBrowser;
    Visit visit;
    if (&browser == m_descriptionBrowser && m_preloadedGeneration == browser.loadGeneration() &&
        m_preloadedAddress == address) {
        visit.generation = m_preloadedGeneration; // loading, or loaded, already
    } else {
        browser.navigate(address);
        visit.generation = browser.loadGeneration();
    }
    if (&browser == m_descriptionBrowser)
        m_preloadedGeneration = -1;
    // A page that went away, or failed to load, because the marketplace sent it to a login or
    // check page is named as such. Of a visit cut short nothing of the page is kept but its load.
    const auto ending = [&](Visit::End end) -> Visit {
        if (end != Visit::End::CutShort && browser.loadGeneration() != visit.generation)
            end = Visit::End::Gone;
        if (end == Visit::End::Gone || end == Visit::End::LoadFailed) {
            visit.gate = MarketplaceGate::ofAddress(browser.address());
            if (visit.gate != MarketplaceGate::Kind::None)
                end = Visit::End::Blocked;
        }
        visit.end = end;
        visit.document.reset();
        return std::move(visit);
    };
    // The document the browser shows now, unless it is none or a login or check page.
    const auto takeDocument = [&]() -> QCoro::Task<Visit::End> {
        visit.document = browser.document();
        if (!visit.document)
            co_return Visit::End::NoDocument;
        const Waited<MarketplaceGate::Kind> gate = co_await gateOf(waits, browser, *visit.document);
        if (gate.cutShort())
            co_return Visit::End::CutShort;
        visit.gate = *gate;
        co_return visit.gate != MarketplaceGate::Kind::None ? Visit::End::Blocked : Visit::End::Ready;
    };

    for (int reloads = 0;; ++reloads) {
        const Visit::End loaded = co_await waitUntilLoaded(waits, browser, visit.generation);
        if (loaded == Visit::End::CutShort)
            co_return ending(Visit::End::CutShort);
        if (loaded != Visit::End::Ready)
            co_return ending(loaded);
        // A login or check page is named as such before anything is scrolled or read.
        const Visit::End taken = co_await takeDocument();
        if (taken == Visit::End::CutShort)
            co_return ending(Visit::End::CutShort);
        if (taken != Visit::End::Ready)
            co_return ending(taken);
        if (!itemPage)
            break;
        // The data is read before the scroll, so a simplified page is loaded again at once.
        Waited<ItemData> data = co_await readData(waits, *visit.document);
        if (data.cutShort())
            co_return ending(Visit::End::CutShort);
        visit.data = std::move(*data);
        if (!mayBeSimplified(visit.data))
            break;
        const Waited<bool> whole = co_await holdsDescription(waits, *visit.document);
        if (whole.cutShort())
            co_return ending(Visit::End::CutShort);
        if (*whole)
            break;
        if (reloads == kReloads) {
            visit.servedSimplified = true;
            break;
        }
        m_reload = reloads + 1;
        setPhase(CollectProgress::Phase::Reloading);
        visit.document.reset();
        browser.navigate(address);
        visit.generation = browser.loadGeneration();
    }
    if (itemPage && m_phase == CollectProgress::Phase::Reloading)
        setPhase(CollectProgress::Phase::Loading);
    if (itemPage)
        preloadDescription(visit.data);

    // Scrolled to the top only once the page has its turn to scroll on from there. An item
    // takes one turn for both its pages: the description document's scroll has the item page's.
    ScrollTurns::Turn turn;
    if (!itemPage && m_keptTurn.held()) {
        turn = std::move(m_keptTurn);
    } else {
        Waited<ScrollTurns::Turn> taken = co_await turnToScroll(waits);
        if (taken.cutShort())
            co_return ending(Visit::End::CutShort);
        turn = std::move(*taken);
    }
    const Waited<PageAnswer<int>> heightAnswer = co_await waits.answer<PageAnswer<int>>(
        [&](PageDocument::Reply<int> reply) { visit.document->scrollToTopReadingHeight(std::move(reply)); });
    if (heightAnswer.cutShort())
        co_return ending(Visit::End::CutShort);
    const PageAnswer<int> &height = *heightAnswer;
    if (!height)
        co_return ending(endOf(height.failure(), Visit::End::NoBody));
    if (itemPage)
        setPhase(CollectProgress::Phase::Scrolling);
    ScrollPhase scroll(browser, m_loop);
    const ScrollPhase::End scrolled = co_await scroll.run(waits, *visit.document, *height, visit.generation,
                                                          [this](int) { showElapsed(); });
    // The next page scrolls while this one settles, unless the description document this
    // item's data names may scroll next, in the item's turn.
    if (itemPage && !visit.data.description.url.isEmpty())
        m_keptTurn = std::move(turn);
    else
        turn = {};
    switch (scrolled) {
    case ScrollPhase::End::Aborted:
        co_return ending(Visit::End::CutShort);
    case ScrollPhase::End::PageGone:
        co_return ending(Visit::End::Gone);
    case ScrollPhase::End::NoBody:
        co_return ending(Visit::End::NoBody);
    case ScrollPhase::End::Unresponsive:
        co_return ending(Visit::End::Unresponsive);
    case ScrollPhase::End::DistanceLimit:
    case ScrollPhase::End::TimeLimit:
    case ScrollPhase::End::Bottom:
        visit.scrolled = scrolled;
        break;
    }

    // The time limit holds for loading and scrolling: what is left of it waits for the
    // description document.
    m_deadline.reset();
    if (itemPage)
        setPhase(CollectProgress::Phase::Reading);
    const Waited<bool> settled = co_await waits.sleep(kSettleMs);
    if (settled.cutShort())
        co_return ending(Visit::End::CutShort);
    // A page that went elsewhere meanwhile is not the one loaded.
    if (browser.loadGeneration() != visit.generation)
        co_return ending(Visit::End::Gone);
    // A check may also come up over the page while it is scrolled.
    const Visit::End taken = co_await takeDocument();
    if (taken == Visit::End::CutShort)
        co_return ending(Visit::End::CutShort);
    if (taken != Visit::End::Ready)
        co_return ending(taken);
    visit.end = Visit::End::Ready;
    co_return visit;
}

void CollectSession::preloadDescription(const ItemData &data)
{
    if (!data.found || data.description.url.isEmpty())
        return;
    m_preloadedAddress = QString::fromUtf8(data.description.url.toEncoded());
    m_descriptionBrowser->navigate(m_preloadedAddress);
    m_preloadedGeneration = m_descriptionBrowser->loadGeneration();
}

QCoro::Task<Waited<ScrollTurns::Turn>> CollectSession::turnToScroll(Waits &waits)
{
    if (!m_scrollTurns)
        co_return Waited<ScrollTurns::Turn>(ScrollTurns::Turn());
    // The time limit is the page's own: other pages' scrolling is no part of it.
    const std::int64_t from = m_loop.now();
    m_deadline.reset();
    Waited<ScrollTurns::Turn> turn = co_await m_scrollTurns->take(waits);
    if (!turn.cutShort()) {
        m_deadlineAt += m_loop.now() - from;
        armTimeLimit();
    }
    co_return turn;
}

int CollectSession::descriptionTimeLimit() const
{
    return m_timeLimitSeconds > 0 ? m_timeLimitSeconds : kDescriptionTimeLimitSeconds;
}

void CollectSession::armTimeLimit()
{
    if (m_timeLimitSeconds <= 0)
        return;
    const std::int64_t left = std::max<std::int64_t>(0, m_deadlineAt - m_loop.now());
    m_deadline = m_loop.after(static_cast<int>(left), [this] { abort(CollectAbort::TimeLimit); });
}

void CollectSession::setPhase(CollectProgress::Phase phase)
{
    m_phase = phase;
    showElapsed();
}

void CollectSession::showElapsed()
{
    if (!m_report)
        return;
    CollectProgress progress{m_phase, static_cast<int>((m_loop.now() - m_startedAt) / 1000)};
    if (m_phase == CollectProgress::Phase::Reloading) {
        progress.reload = m_reload;
        progress.reloads = kReloads;
    }
    m_report(progress);
}

void CollectSession::keepClock()
{
    const int untilNextSecond = 1000 - static_cast<int>((m_loop.now() - m_startedAt) % 1000);
    m_clock = m_loop.after(untilNextSecond, [this] {
        showElapsed();
        keepClock();
    });
}

QCoro::Task<CollectSession::Visit::End> CollectSession::waitUntilLoaded(Waits &waits, PageBrowser &browser,
                                                                        int generation)
{
    for (;;) {
        // A failed load, Stop, or a navigation of the page's or the user's own ends the wait.
        if (browser.loadGeneration() != generation)
            co_return Visit::End::Gone;
        switch (browser.loadState()) {
        case PageBrowser::LoadState::Finished:
            co_return Visit::End::Ready;
        case PageBrowser::LoadState::Failed:
            co_return Visit::End::LoadFailed;
        case PageBrowser::LoadState::Loading:
            break;
        }
        showElapsed();
        const Waited<bool> changed = co_await waitForChange(waits, browser);
        if (changed.cutShort())
            co_return Visit::End::CutShort;
    }
}

QCoro::Task<Waited<MarketplaceGate::Kind>> CollectSession::gateOf(Waits &waits, PageBrowser &browser,
                                                                  PageDocument &document)
{
    const Waited<PageAnswer<ShownMarks>> answer =
        co_await waits.answer<PageAnswer<ShownMarks>>([&](PageDocument::Reply<ShownMarks> reply) {
            document.shownMarks(MarketplaceGate::selectors(), MarketplaceGate::phrases(), std::move(reply));
        });
    if (answer.cutShort())
        co_return Waited<MarketplaceGate::Kind>();
    const PageAnswer<ShownMarks> &marks = *answer;
    // A page that cannot be searched is judged by its address; reading it will tell the rest.
    co_return Waited(marks ? MarketplaceGate::ofPage(browser.address(), *marks)
                           : MarketplaceGate::ofAddress(browser.address()));
}

QCoro::Task<Waited<CollectFailure>> CollectSession::readPictures(Waits &waits, PageDocument &document,
                                                                 int generation, CollectedSet &set,
                                                                 bool &readAsClassic)
{
    const QStringList classicIds{detailId(), skuId(), tmallId(), descriptionId()};
    const Waited<PageAnswer<ItemPageReading>> answer =
        co_await waits.answer<PageAnswer<ItemPageReading>>([&](PageDocument::Reply<ItemPageReading> reply) {
            // The page's loader may not have reached every classic description picture: the
            // placeholder would be collected in its place.
            document.readItemPage({classicIds, descriptionId(), lazyDescriptionAttribute(),
                                   CurrentLayout::selectors(), CurrentLayout::lazyAddressAttributes(),
                                   CurrentLayout::variantContainers(), CurrentLayout::variantNames()},
                                  std::move(reply));
        });
    if (answer.cutShort())
        co_return Waited<CollectFailure>();
    const PageAnswer<ItemPageReading> &reading = *answer;
    if (!reading)
        co_return Waited(readFailure(generation, reading.failure(), CollectFailure::UnreadablePictures));
    if (m_itemBrowser.loadGeneration() != generation)
        co_return Waited(CollectFailure::PageGone);

    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    set.colourNames.clear();
    readAsClassic = false;
    // A page that shows a gallery or a variants area of today's form is today's page, read by
    // its areas: a classic id elsewhere on it (a stray "description" div) does not make it a
    // classic one. Otherwise a page with one of the classic blocks is read by them, exactly as
    // ever. A page without them, or whose blocks hold no picture, is read by today's areas all
    // the same; a page where neither finds a picture holds no item pictures.
    if (CurrentLayout::hasItsStructure(reading->images)) {
        CurrentLayout::fill(reading->images, set);
        if (hasPictures(set))
            co_return Waited(CollectFailure::None);
    }
    if (!reading->blocks.isEmpty())
        setPhase(CollectProgress::Phase::ReadingBlocks);
    for (const PageElement &block : reading->blocks) {
        const Waited<bool> turn = co_await waits.nextTurn();
        if (turn.cutShort())
            co_return Waited<CollectFailure>();
        if (m_itemBrowser.loadGeneration() != generation)
            co_return Waited(CollectFailure::PageGone);
        showElapsed();
        if (block.id == detailId()) {
            extractMainPictures(block.innerHtml, set.mainPictures);
        } else if (block.id == skuId()) {
            set.colourNames.clear();
            extractColourPictures(block.innerHtml, set.colourPictures, &set.colourNames);
        } else if (block.id == tmallId()) {
            set.colourNames.clear();
            extractTmallPictures(block.innerHtml, set.mainPictures, set.colourPictures, &set.colourNames);
        } else if (block.id == descriptionId())
            extractDescriptionPictures(block.innerHtml, set.descriptionPictures);
    }
    if (!reading->blocks.isEmpty())
        setPhase(CollectProgress::Phase::Reading);
    readAsClassic = hasPictures(set);
    if (!readAsClassic)
        CurrentLayout::fill(reading->images, set);
    co_return Waited(CollectFailure::None);
}

QCoro::Task<Waited<ItemData>> CollectSession::readData(Waits &waits, PageDocument &document)
{
    const Waited<PageAnswer<QStringList>> scripts =
        co_await waits.answer<PageAnswer<QStringList>>([&](PageDocument::Reply<QStringList> reply) {
            document.inlineScripts(itemDataMarkers(), std::move(reply));
        });
    if (scripts.cutShort())
        co_return Waited<ItemData>();
    if (!*scripts || (*scripts)->isEmpty())
        co_return Waited(ItemData()); // a page whose data cannot be read names nothing
    // Read away from the loop: however large the page's data, the time limit and a signal
    // still end the collect at once.
    std::unique_ptr<PendingCall> reading;
    const QUrl page = m_itemBrowser.address();
    const Waited<ItemData> data = co_await waits.answer<ItemData>([&](Waits::Reply<ItemData> reply) {
        reading = m_loop.inBackground([texts = **scripts, page, reply = std::move(reply)]() {
            return std::function<void()>([reply, data = readItemData(texts, page)] { reply(data); });
        });
    });
    co_return data;
}

QCoro::Task<Waited<bool>> CollectSession::holdsDescription(Waits &waits, PageDocument &document)
{
    static const QStringList descriptions{CurrentLayout::descriptionContainers()};
    const Waited<PageAnswer<ShownMarks>> marks =
        co_await waits.answer<PageAnswer<ShownMarks>>([&](PageDocument::Reply<ShownMarks> reply) {
            document.shownMarks(descriptions, {}, std::move(reply));
        });
    if (marks.cutShort())
        co_return Waited<bool>();
    co_return Waited(*marks && (*marks)->selectorsShown.value(0));
}

QCoro::Task<Waited<CollectSession::DescriptionRead>>
CollectSession::readNamedDescription(Waits &waits, const DescriptionAddress &named, PictureList &pictures)
{
    DescriptionRead read;
    if (!named.named)
        co_return Waited(read);
    if (named.url.isEmpty()) {
        read.failure = DescriptionProblem::AddressInvalid;
        co_return Waited(read);
    }
    setPhase(CollectProgress::Phase::ReadingDescription);
    read = co_await readDescriptionDocument(named.url, pictures);
    if (!waits.gone())
        m_descriptionBrowser->navigateBlank(); // nothing of it runs on unseen, however the read ended
    // The document is read with waits of its own, which 停止 and the time limit cut short: only
    // the collect's tell whether the whole collect was ended meanwhile.
    if (waits.aborted())
        co_return Waited<DescriptionRead>();
    setPhase(CollectProgress::Phase::Reading);
    co_return Waited(read);
}

QCoro::Task<CollectSession::DescriptionRead> CollectSession::readDescriptionDocument(const QUrl &url,
                                                                                     PictureList &pictures)
{
    DescriptionRead read;
    Waits waits(m_loop);
    waits.dependOn(m_descriptionBrowser->presence());
    m_descriptionWaits = &waits;
    m_descriptionTimedOut = false;
    m_descriptionStopped = false;
    // However the read ends, the collect's waits and what is left of its time limit are its own again.
    const auto done = qScopeGuard([this] {
        m_descriptionWaits = nullptr;
        m_deadline.reset();
    });
    if (m_timeLimitSeconds <= 0) {
        m_deadline =
            m_loop.after(kDescriptionTimeLimitSeconds * 1000, [this] { abort(CollectAbort::TimeLimit); });
    } else if (m_deadlineAt <= m_loop.now()) {
        read.failure = DescriptionProblem::TimedOut;
        co_return read;
    } else {
        armTimeLimit();
    }

    const Visit page = co_await visit(waits, *m_descriptionBrowser, QString::fromUtf8(url.toEncoded()));
    if (page.end == Visit::End::CutShort && m_descriptionTimedOut && !waits.gone() &&
        m_descriptionBrowser->loadGeneration() == page.generation &&
        m_descriptionBrowser->loadState() == PageBrowser::LoadState::Finished) {
        // Cut short by the time limit once loaded: what it shows so far is kept.
        Waits last(m_loop);
        last.dependOn(m_descriptionBrowser->presence());
        m_descriptionWaits = &last;
        if (const std::unique_ptr<PageDocument> document = m_descriptionBrowser->document()) {
            const Waited<DescriptionProblem> failure =
                co_await readShownPictures(last, *document, page.generation, pictures);
            if (!failure.cutShort() && *failure == DescriptionProblem::None) {
                read.cutShort = DescriptionProblem::TimedOut;
                co_return read;
            }
        }
    }
    // Ended from outside, or the browser went: nothing more is touched.
    const auto endedFromOutside = [&] {
        read.failure = DescriptionProblem::None;
        if (m_descriptionStopped && !waits.gone())
            read.stopped = true;
        else
            read.failure = m_descriptionTimedOut ? DescriptionProblem::TimedOut : DescriptionProblem::Gone;
        return read;
    };
    if (page.end == Visit::End::CutShort)
        co_return endedFromOutside();
    if (page.end == Visit::End::Blocked) {
        read.gate = page.gate;
        co_return read;
    }
    if (page.end != Visit::End::Ready) {
        read.failure = descriptionFailureOf(page.end);
        co_return read;
    }
    const Waited<DescriptionProblem> shown =
        co_await readShownPictures(waits, *page.document, page.generation, pictures);
    if (shown.cutShort())
        co_return endedFromOutside();
    read.failure = *shown;
    if (read.failure == DescriptionProblem::None && page.scrolled == ScrollPhase::End::DistanceLimit)
        read.cutShort = DescriptionProblem::DistanceLimit;
    else if (read.failure == DescriptionProblem::None && page.scrolled == ScrollPhase::End::TimeLimit)
        read.cutShort = DescriptionProblem::ScrollTimeLimit;
    co_return read;
}

QCoro::Task<Waited<DescriptionProblem>>
CollectSession::readShownPictures(Waits &waits, PageDocument &document, int generation, PictureList &pictures)
{
    const Waited<PageAnswer<PageImages>> answer =
        co_await waits.answer<PageAnswer<PageImages>>([&](PageDocument::Reply<PageImages> reply) {
            document.renderedImages(CurrentLayout::lazyAddressAttributes(), std::move(reply));
        });
    if (answer.cutShort())
        co_return Waited<DescriptionProblem>();
    const PageAnswer<PageImages> &images = *answer;
    // What another page shows is not this document's.
    if (m_descriptionBrowser->loadGeneration() != generation)
        co_return Waited(DescriptionProblem::Gone);
    if (!images)
        co_return Waited(descriptionFailureOf(endOf(images.failure(), Visit::End::NoBody)));
    pictures.clear();
    fillWithPictures(images->sets.value(0), images->baseUrl, pictures);
    co_return Waited(pictures.isEmpty() ? DescriptionProblem::Empty : DescriptionProblem::None);
}

CollectSession::Visit::End CollectSession::endOf(ReadFailure failure, Visit::End otherwise)
{
    switch (failure) {
    case ReadFailure::Gone:
        return Visit::End::Gone;
    case ReadFailure::Unresponsive:
        return Visit::End::Unresponsive;
    case ReadFailure::Failed:
        break;
    }
    return otherwise;
}

DescriptionProblem CollectSession::descriptionFailureOf(Visit::End end)
{
    switch (end) {
    case Visit::End::LoadFailed:
        return DescriptionProblem::LoadFailed;
    case Visit::End::Gone:
        return DescriptionProblem::Gone;
    case Visit::End::Unresponsive:
        return DescriptionProblem::Unresponsive;
    case Visit::End::Ready:
    case Visit::End::CutShort:
    case Visit::End::Blocked: // a gate blocks the whole item instead
    case Visit::End::NoDocument:
    case Visit::End::NoBody:
        break;
    }
    return DescriptionProblem::Unreadable;
}

CollectFailure CollectSession::visitFailure(const Visit &visit)
{
    switch (visit.end) {
    case Visit::End::LoadFailed:
        return CollectFailure::LoadFailed;
    case Visit::End::NoDocument:
        return CollectFailure::NoDocument;
    case Visit::End::NoBody:
        return CollectFailure::NoBody;
    case Visit::End::Unresponsive:
        return CollectFailure::Unresponsive;
    case Visit::End::Ready:
    case Visit::End::CutShort:
    case Visit::End::Blocked:
    case Visit::End::Gone:
        break;
    }
    return CollectFailure::PageGone;
}

CollectFailure CollectSession::readFailure(int generation, ReadFailure failure,
                                           CollectFailure otherwise) const
{
    // A read also fails when the page is replaced under it; say so rather than blame the page.
    if (m_itemBrowser.loadGeneration() != generation || failure == ReadFailure::Gone)
        return CollectFailure::PageGone;
    return failure == ReadFailure::Unresponsive ? CollectFailure::Unresponsive : otherwise;
}

CollectResult CollectSession::ended()
{
    CollectResult result;
    if (!m_abortReason) {
        // Not ended by anyone: a browser went. It is not asked where it went.
        result.failure = CollectFailure::PageGone;
        return result;
    }
    switch (*m_abortReason) {
    case CollectAbort::Closing:
        result.status = CollectResult::Status::Closing;
        return result;
    case CollectAbort::Navigated:
        return fail(CollectFailure::PageGone);
    case CollectAbort::Stopped:
        result.status = CollectResult::Status::Stopped;
        result.failure = CollectFailure::Stopped;
        return result;
    case CollectAbort::TimeLimit:
        break;
    }
    result = fail(CollectFailure::TimeLimit);
    result.timeLimitSeconds = m_timeLimitSeconds;
    return result;
}

CollectResult CollectSession::fail(CollectFailure failure)
{
    // A page the marketplace sent on to a login or check page failed for that reason.
    if (const MarketplaceGate::Kind gate = MarketplaceGate::ofAddress(m_itemBrowser.address());
        gate != MarketplaceGate::Kind::None)
        return blocked(gate);
    CollectResult result;
    result.failure = failure;
    result.set = CollectedSet();
    return result;
}

CollectResult CollectSession::blocked(MarketplaceGate::Kind gate)
{
    CollectResult result;
    result.status = CollectResult::Status::Blocked;
    result.failure = CollectFailure::Blocked;
    result.gate = gate;
    result.set = CollectedSet();
    return result;
}

} // namespace talvesk
