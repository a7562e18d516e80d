// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectCommand.h"

#include "collect/CollectMessages.h"
#include "collect/CurrentLayout.h"
#include "collect/DescriptionAddress.h"
#include "collect/Extraction.h"
#include "collect/ItemTitle.h"
#include "collect/PagePictures.h"
#include "collect/PictureList.h"
#include "collect/ScrollPhase.h"
#include "platform/EventLoop.h"
#include "platform/MessageList.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/WaitForChange.h"
#include "platform/Waits.h"
#include "platform/WindowControls.h"

#include <QScopeGuard>
#include <QStringList>

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

CollectResult refused(const QString &message)
{
    CollectResult result;
    result.status = CollectResult::Status::Refused;
    result.errorString = message;
    return result;
}

bool hasPictures(const CollectedSet &set)
{
    return countPictures(set.mainPictures) > 0 || countPictures(set.colourPictures) > 0 ||
           countPictures(set.descriptionPictures) > 0;
}

// What a failed collect leaves: no title and every list empty.
CollectedSet clearedSet()
{
    CollectedSet set;
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    return set;
}

// A classic page's description pictures that the page's loader left behind keep their real
// address in this attribute.
const QString &lazyDescriptionAttribute()
{
    static const QString attribute = QStringLiteral("data-ks-lazyload");
    return attribute;
}

const QString &noError()
{
    static const QString none;
    return none;
}

} // namespace

// Marks a collect as running and holds its waits; when it ends, however it ends, its time
// limit ends too.
class CollectCommand::Running final
{
public:
    Running(CollectCommand &command, Waits &waits) : m_command(command)
    {
        m_command.m_running = true;
        m_command.m_waits = &waits;
        m_command.m_abortReason.reset();
        m_command.m_readingDescription = false;
    }
    ~Running()
    {
        m_command.m_deadline.reset();
        m_command.m_clock.reset();
        m_command.m_waits = nullptr;
        m_command.m_running = false;
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    CollectCommand &m_command;
};

CollectCommand::CollectCommand(PageBrowser &itemBrowser, PageBrowser &previewBrowser,
                               PageBrowser &descriptionBrowser, WindowControls &window, MessageList &messages,
                               EventLoop &loop)
    : m_itemBrowser(itemBrowser), m_previewBrowser(previewBrowser), m_descriptionBrowser(descriptionBrowser),
      m_window(window), m_messages(messages), m_loop(loop)
{
}

CollectCommand::~CollectCommand()
{
    // The running collect refers to this command: it ends now, without a word. Its own waits
    // are marked first, so that when the description read returns into it, it returns too.
    if (m_waits) {
        m_abortReason = CollectAbort::Closing;
        m_waits->abortBeforeDestruction();
        if (m_descriptionWaits)
            m_descriptionWaits->abortBeforeDestruction();
    }
}

void CollectCommand::abort(CollectAbort reason)
{
    if (!m_waits || m_waits->aborted())
        return;
    // The time limit ends a description read with what the page gave; anything else ends the
    // whole collect.
    if (reason == CollectAbort::TimeLimit && m_descriptionWaits) {
        m_descriptionTimedOut = true;
        m_descriptionWaits->abort();
        return;
    }
    m_abortReason = reason;
    m_waits->abort();
    if (m_descriptionWaits)
        m_descriptionWaits->abort();
}

QCoro::Task<CollectResult> CollectCommand::run(QString address)
{
    // A second run would reset scrollStep under the first one's scroll phase.
    if (m_running) {
        m_messages.insertLine(CollectMessages::busy());
        co_return refused(CollectMessages::busy());
    }
    if (address.trimmed().isEmpty()) {
        m_messages.insertLine(CollectMessages::emptyAddress());
        co_return refused(CollectMessages::emptyAddress());
    }
    Waits waits(m_loop);
    waits.dependOn(m_itemBrowser.presence());
    waits.dependOn(m_previewBrowser.presence());
    waits.dependOn(m_descriptionBrowser.presence());
    const Running running(*this, waits);

    CollectedSet set;
    m_window.selectTab(WindowControls::Tab::Browse);
    m_progressLine = m_messages.insertLine(CollectMessages::progress(0));
    // The clock runs from the press, through the load and the scroll, so a slow page shows its
    // time passing.
    m_startedAt = m_loop.now();
    keepClock();
    m_itemBrowser.navigate(address);
    const int generation = m_itemBrowser.loadGeneration();
    m_deadlineAt = m_loop.now() + std::int64_t{m_timeLimitSeconds} * 1000;
    if (m_timeLimitSeconds > 0)
        m_deadline = m_loop.after(m_timeLimitSeconds * 1000, [this] { abort(CollectAbort::TimeLimit); });

    QString error = co_await waitUntilLoaded(waits, m_itemBrowser, generation);
    if (waits.aborted())
        co_return ended(address);
    if (!error.isEmpty())
        co_return fail(error);

    std::unique_ptr<PageDocument> document = m_itemBrowser.document();
    if (!document)
        co_return fail(readFailure(generation, CollectMessages::noDocument()));
    // A login or check page is named as such before anything is scrolled or read.
    MarketplaceGate::Kind gate = co_await gateOf(waits, m_itemBrowser, *document);
    if (waits.aborted())
        co_return ended(address);
    if (gate != MarketplaceGate::Kind::None)
        co_return blocked(gate);

    ScrollPhase scroll(m_itemBrowser, m_loop);
    const std::optional<int> height =
        co_await waits.answer<std::optional<int>>([&](PageDocument::Reply<std::optional<int>> reply) {
            document->scrollToTopReadingHeight(std::move(reply));
        });
    if (waits.aborted())
        co_return ended(address);
    if (!height)
        co_return fail(readFailure(generation, CollectMessages::noBody()));

    QString limitNotice;
    switch (co_await scroll.run(waits, *document, *height, generation, [this](int) { showElapsed(); })) {
    case ScrollPhase::End::Aborted:
        co_return ended(address);
    case ScrollPhase::End::PageGone:
        co_return fail(CollectMessages::pageGone());
    case ScrollPhase::End::NoBody:
        co_return fail(readFailure(generation, CollectMessages::noBody()));
    case ScrollPhase::End::DistanceLimit:
        limitNotice = CollectMessages::distanceLimit();
        break;
    case ScrollPhase::End::TimeLimit:
        limitNotice = CollectMessages::scrollTimeLimit();
        break;
    case ScrollPhase::End::Bottom:
        break;
    }

    // The limit holds for loading and scrolling, the item page's and the description's: what
    // is left of it waits for the description document.
    m_deadline.reset();
    co_await waits.sleep(kSettleMs);
    if (waits.aborted())
        co_return ended(address);

    document = m_itemBrowser.document();
    if (!document)
        co_return fail(readFailure(generation, CollectMessages::noDocument()));
    // A check may also come up over the page while it is scrolled.
    gate = co_await gateOf(waits, m_itemBrowser, *document);
    if (waits.aborted())
        co_return ended(address);
    if (gate != MarketplaceGate::Kind::None)
        co_return blocked(gate);
    const std::optional<QString> titleText =
        co_await waits.answer<std::optional<QString>>([&](PageDocument::Reply<std::optional<QString>> reply) {
            document->firstInnerText(QStringLiteral("title"), std::move(reply));
        });
    if (waits.aborted())
        co_return ended(address);
    const ItemTitleResult title = itemTitleFromText(titleText);
    if (!title.ok)
        co_return fail(readFailure(generation, title.errorString));
    set.itemTitle = title.title;

    error = co_await readPictures(waits, *document, generation, set);
    if (waits.aborted())
        co_return ended(address);
    if (!error.isEmpty())
        co_return fail(error);

    CollectResult result;
    if (countPictures(set.descriptionPictures) == 0) {
        result.descriptionFailure = co_await readNamedDescription(waits, *document, set.descriptionPictures);
        if (waits.aborted())
            co_return ended(address);
        if (m_itemBrowser.loadGeneration() != generation)
            co_return fail(CollectMessages::pageGone());
    }
    if (!hasPictures(set))
        co_return fail(CollectMessages::noPictures());

    const PreviewResult preview = co_await writePreviewPage(m_previewBrowser, waits, set, address);
    if (waits.aborted())
        co_return ended(address);
    if (!preview.ok())
        co_return fail(CollectMessages::previewFailed(preview.errorString));

    // The collect's line keeps its final time.
    m_clock.reset();
    showElapsed();
    if (!limitNotice.isEmpty())
        result.notices.append(limitNotice);
    result.notices.append(truncationNotices(set));
    if (!result.descriptionFailure.isEmpty())
        result.notices.append(CollectMessages::descriptionFailed(result.descriptionFailure));
    for (const QString &notice : std::as_const(result.notices))
        m_messages.insertLine(notice);
    m_messages.insertLine(CollectMessages::summary(preview.counts));
    m_window.selectTab(WindowControls::Tab::Preview);

    result.status = CollectResult::Status::Collected;
    result.counts = preview.counts;
    result.address = address;
    result.set = std::move(set);
    co_return result;
}

void CollectCommand::showElapsed()
{
    const auto seconds = static_cast<std::int32_t>((m_loop.now() - m_startedAt) / 1000);
    m_messages.setLine(m_progressLine, m_readingDescription ? CollectMessages::descriptionProgress(seconds)
                                                            : CollectMessages::progress(seconds));
}

void CollectCommand::keepClock()
{
    const int untilNextSecond = 1000 - static_cast<int>((m_loop.now() - m_startedAt) % 1000);
    m_clock = m_loop.after(untilNextSecond, [this] {
        showElapsed();
        keepClock();
    });
}

QCoro::Task<QString> CollectCommand::waitUntilLoaded(Waits &waits, PageBrowser &browser, int generation)
{
    for (;;) {
        // A failed load, Stop, or a navigation of the page's or the user's own ends the wait.
        if (browser.loadGeneration() != generation)
            co_return CollectMessages::pageGone();
        switch (browser.loadState()) {
        case PageBrowser::LoadState::Finished:
            co_return noError();
        case PageBrowser::LoadState::Failed:
            co_return CollectMessages::loadFailed();
        case PageBrowser::LoadState::Loading:
            break;
        }
        showElapsed();
        co_await waitForChange(waits, browser);
        if (waits.aborted())
            co_return noError();
    }
}

QCoro::Task<MarketplaceGate::Kind> CollectCommand::gateOf(Waits &waits, PageBrowser &browser,
                                                          PageDocument &document)
{
    const std::optional<ShownMarks> marks = co_await waits.answer<std::optional<ShownMarks>>(
        [&](PageDocument::Reply<std::optional<ShownMarks>> reply) {
            document.shownMarks(MarketplaceGate::selectors(), MarketplaceGate::phrases(), std::move(reply));
        });
    // A page that cannot be searched is judged by its address; reading it will tell the rest.
    co_return marks ? MarketplaceGate::ofPage(browser.address(), *marks)
                    : MarketplaceGate::ofAddress(browser.address());
}

QCoro::Task<QString> CollectCommand::readPictures(Waits &waits, PageDocument &document, int generation,
                                                  CollectedSet &set)
{
    const QStringList classicIds{detailId(), skuId(), tmallId(), descriptionId()};
    const std::optional<ItemPageReading> reading = co_await waits.answer<std::optional<ItemPageReading>>(
        [&](PageDocument::Reply<std::optional<ItemPageReading>> reply) {
            // The page's loader may not have reached every classic description picture: the
            // placeholder would be collected in its place.
            document.readItemPage({classicIds, descriptionId(), lazyDescriptionAttribute(),
                                   CurrentLayout::selectors(), CurrentLayout::lazyAddressAttributes()},
                                  std::move(reply));
        });
    if (waits.aborted())
        co_return noError();
    if (!reading)
        co_return readFailure(generation, CollectMessages::unreadablePictures());
    if (m_itemBrowser.loadGeneration() != generation)
        co_return CollectMessages::pageGone();

    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    // A page that shows a gallery or a variants area of today's form is today's page, read by
    // its areas: a classic id elsewhere on it (a stray "description" div) does not make it a
    // classic one. Otherwise a page with one of the classic blocks is read by them, exactly as
    // ever. A page without them, or whose blocks hold no picture, is read by today's areas all
    // the same; a page where neither finds a picture holds no item pictures.
    if (CurrentLayout::hasItsStructure(reading->images)) {
        CurrentLayout::fill(reading->images, set);
        if (hasPictures(set))
            co_return noError();
    }
    m_window.setWindowEnabled(false);
    for (const PageElement &block : reading->blocks) {
        co_await waits.nextTurn();
        if (waits.aborted())
            co_return noError();
        if (m_itemBrowser.loadGeneration() != generation)
            co_return CollectMessages::pageGone();
        showElapsed();
        if (block.id == detailId())
            extractMainPictures(block.innerHtml, set.mainPictures);
        else if (block.id == skuId())
            extractColourPictures(block.innerHtml, set.colourPictures);
        else if (block.id == tmallId())
            extractTmallPictures(block.innerHtml, set.mainPictures, set.colourPictures);
        else if (block.id == descriptionId())
            extractDescriptionPictures(block.innerHtml, set.descriptionPictures);
    }
    m_window.setWindowEnabled(true);
    if (!hasPictures(set))
        CurrentLayout::fill(reading->images, set);
    co_return noError();
}

QCoro::Task<QString> CollectCommand::readNamedDescription(Waits &waits, PageDocument &document,
                                                          PictureList &pictures)
{
    const std::optional<QStringList> scripts = co_await waits.answer<std::optional<QStringList>>(
        [&](PageDocument::Reply<std::optional<QStringList>> reply) {
            document.inlineScripts(descriptionAddressMarkers(), std::move(reply));
        });
    if (waits.aborted() || !scripts)
        co_return noError(); // a page whose data cannot be read names no document
    const DescriptionAddress named = descriptionAddress(*scripts, m_itemBrowser.address());
    if (!named.named)
        co_return noError();
    if (named.url.isEmpty())
        co_return CollectMessages::descriptionAddressInvalid();
    QString failure = co_await readDescriptionDocument(named.url, pictures);
    if (!waits.aborted()) {
        m_descriptionBrowser.navigateBlank(); // nothing of it runs on unseen
        m_readingDescription = false;
        showElapsed();
    }
    co_return failure;
}

QCoro::Task<QString> CollectCommand::readDescriptionDocument(const QUrl &url, PictureList &pictures)
{
    Waits waits(m_loop);
    waits.dependOn(m_descriptionBrowser.presence());
    m_descriptionWaits = &waits;
    m_descriptionTimedOut = false;
    // However the read ends, the collect's waits and what is left of its time limit are its own again.
    const auto done = qScopeGuard([this] {
        m_descriptionWaits = nullptr;
        m_deadline.reset();
    });
    if (m_timeLimitSeconds > 0) {
        const std::int64_t left = m_deadlineAt - m_loop.now();
        if (left <= 0)
            co_return CollectMessages::descriptionTimedOut(m_timeLimitSeconds);
        m_deadline = m_loop.after(static_cast<int>(left), [this] { abort(CollectAbort::TimeLimit); });
    }

    m_readingDescription = true;
    showElapsed();
    m_descriptionBrowser.navigate(QString::fromUtf8(url.toEncoded()));
    const int generation = m_descriptionBrowser.loadGeneration();
    QString error = co_await waitUntilLoaded(waits, m_descriptionBrowser, generation);
    if (waits.aborted() || !error.isEmpty())
        co_return descriptionFailure(waits, error == CollectMessages::loadFailed()
                                                ? CollectMessages::descriptionLoadFailed()
                                                : CollectMessages::descriptionGone());
    std::unique_ptr<PageDocument> document = m_descriptionBrowser.document();
    if (!document)
        co_return descriptionFailure(waits, CollectMessages::descriptionGone());
    const auto gated = [&]() -> QCoro::Task<QString> {
        const MarketplaceGate::Kind gate = co_await gateOf(waits, m_descriptionBrowser, *document);
        co_return gate == MarketplaceGate::Kind::None ? noError() : CollectMessages::descriptionBlocked(gate);
    };
    error = co_await gated();
    if (waits.aborted() || !error.isEmpty())
        co_return descriptionFailure(waits, error);

    const std::optional<int> height =
        co_await waits.answer<std::optional<int>>([&](PageDocument::Reply<std::optional<int>> reply) {
            document->scrollToTopReadingHeight(std::move(reply));
        });
    if (waits.aborted() || !height)
        co_return descriptionFailure(waits, CollectMessages::descriptionUnreadable());
    ScrollPhase scroll(m_descriptionBrowser, m_loop);
    switch (co_await scroll.run(waits, *document, *height, generation, [this](int) { showElapsed(); })) {
    case ScrollPhase::End::Aborted:
    case ScrollPhase::End::PageGone:
        co_return descriptionFailure(waits, CollectMessages::descriptionGone());
    case ScrollPhase::End::NoBody:
        co_return descriptionFailure(waits, CollectMessages::descriptionUnreadable());
    case ScrollPhase::End::DistanceLimit:
    case ScrollPhase::End::TimeLimit:
    case ScrollPhase::End::Bottom:
        break; // what came into view is read
    }
    co_await waits.sleep(kSettleMs);
    if (waits.aborted())
        co_return descriptionFailure(waits, CollectMessages::descriptionGone());
    error = co_await gated();
    if (waits.aborted() || !error.isEmpty())
        co_return descriptionFailure(waits, error);
    const std::optional<PageImages> images = co_await waits.answer<std::optional<PageImages>>(
        [&](PageDocument::Reply<std::optional<PageImages>> reply) {
            document->renderedImages(CurrentLayout::lazyAddressAttributes(), std::move(reply));
        });
    if (waits.aborted() || !images)
        co_return descriptionFailure(waits, CollectMessages::descriptionUnreadable());
    pictures.clear();
    fillWithPictures(images->sets.value(0), images->baseUrl, pictures);
    if (countPictures(pictures) == 0)
        co_return CollectMessages::descriptionEmpty();
    co_return noError();
}

QString CollectCommand::descriptionFailure(Waits &waits, const QString &reason) const
{
    if (m_descriptionTimedOut)
        return CollectMessages::descriptionTimedOut(m_timeLimitSeconds);
    // Ended from outside, or the browser went: nothing more is touched.
    if (waits.aborted())
        return reason;
    // Sent elsewhere by the marketplace: say where.
    const MarketplaceGate::Kind gate = MarketplaceGate::ofAddress(m_descriptionBrowser.address());
    if (gate != MarketplaceGate::Kind::None)
        return CollectMessages::descriptionBlocked(gate);
    if (m_descriptionBrowser.scriptTimedOut() && reason == CollectMessages::descriptionUnreadable())
        return CollectMessages::descriptionUnresponsive();
    return reason;
}

QString CollectCommand::readFailure(int generation, const QString &message) const
{
    // A read also fails when the page is replaced under it; say so rather than blame the page.
    if (m_itemBrowser.loadGeneration() != generation)
        return CollectMessages::pageGone();
    return m_itemBrowser.scriptTimedOut() ? CollectMessages::unresponsive() : message;
}

CollectResult CollectCommand::ended(const QString &address)
{
    CollectResult result;
    result.address = address;
    if (!m_abortReason) {
        // Not ended by anyone: a browser went, with the window it was part of maybe, so
        // nothing is shown.
        result.errorString = CollectMessages::pageGone();
        result.set = clearedSet();
        return result;
    }
    switch (*m_abortReason) {
    case CollectAbort::Closing:
        // Nothing is shown: the window may be going.
        result.status = CollectResult::Status::Closing;
        return result;
    case CollectAbort::Navigated:
        result = fail(CollectMessages::pageGone());
        break;
    case CollectAbort::Stopped:
        m_window.setWindowEnabled(true);
        m_messages.insertLine(CollectMessages::stopped());
        result.status = CollectResult::Status::Stopped;
        result.errorString = CollectMessages::stopped();
        return result;
    case CollectAbort::TimeLimit:
        result = fail(CollectMessages::timeLimit(m_timeLimitSeconds));
        break;
    }
    result.address = address;
    return result;
}

CollectResult CollectCommand::fail(const QString &message)
{
    // A page sent on to a login or check page went away, or failed, for that reason.
    if (message == CollectMessages::pageGone() || message == CollectMessages::loadFailed()) {
        if (const MarketplaceGate::Kind gate = MarketplaceGate::ofAddress(m_itemBrowser.address());
            gate != MarketplaceGate::Kind::None)
            return blocked(gate);
    }
    m_window.setWindowEnabled(true);
    m_messages.insertLine(message);

    CollectResult result;
    result.errorString = message;
    result.set = clearedSet();
    return result;
}

CollectResult CollectCommand::blocked(MarketplaceGate::Kind gate)
{
    CollectResult result = fail(CollectMessages::blocked(gate));
    result.status = CollectResult::Status::Blocked;
    return result;
}

} // namespace talvesk
