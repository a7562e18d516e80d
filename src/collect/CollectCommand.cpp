// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectCommand.h"

#include "collect/CollectMessages.h"
#include "collect/CurrentLayout.h"
#include "collect/Extraction.h"
#include "collect/ItemTitle.h"
#include "collect/PictureList.h"
#include "collect/ScrollPhase.h"
#include "platform/EventLoop.h"
#include "platform/MessageList.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/WaitForChange.h"
#include "platform/Waits.h"
#include "platform/WindowControls.h"

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

CollectCommand::CollectCommand(PageBrowser &itemBrowser, PageBrowser &previewBrowser, WindowControls &window,
                               MessageList &messages, EventLoop &loop)
    : m_itemBrowser(itemBrowser), m_previewBrowser(previewBrowser), m_window(window), m_messages(messages),
      m_loop(loop)
{
}

CollectCommand::~CollectCommand()
{
    // The running collect refers to this command: it ends now, without a word.
    if (m_waits) {
        m_abortReason = CollectAbort::Closing;
        m_waits->abortBeforeDestruction();
    }
}

void CollectCommand::abort(CollectAbort reason)
{
    if (!m_waits || m_waits->aborted())
        return;
    m_abortReason = reason;
    m_waits->abort();
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
    if (m_timeLimitSeconds > 0)
        m_deadline = m_loop.after(m_timeLimitSeconds * 1000, [this] { abort(CollectAbort::TimeLimit); });

    QString error = co_await waitUntilLoaded(waits, generation);
    if (waits.aborted())
        co_return ended(address);
    if (!error.isEmpty())
        co_return fail(error);

    ScrollPhase scroll(m_itemBrowser, m_loop);
    std::unique_ptr<PageDocument> document = m_itemBrowser.document();
    if (!document)
        co_return fail(readFailure(generation, CollectMessages::noDocument()));
    const std::optional<int> height = co_await waits.answer<std::optional<int>>(
        [&](PageDocument::Reply<std::optional<int>> reply) { document->bodyScrollHeight(std::move(reply)); });
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

    m_deadline.reset();
    co_await waits.sleep(kSettleMs);
    if (waits.aborted())
        co_return ended(address);

    document = m_itemBrowser.document();
    if (!document)
        co_return fail(readFailure(generation, CollectMessages::noDocument()));
    // The page's loader may not have reached every description picture: the placeholder
    // would be collected in its place.
    const std::optional<int> completed =
        co_await waits.answer<std::optional<int>>([&](PageDocument::Reply<std::optional<int>> reply) {
            document->loadLazyImages(descriptionId(), QStringLiteral("data-ks-lazyload"), std::move(reply));
        });
    if (waits.aborted())
        co_return ended(address);
    if (!completed)
        co_return fail(readFailure(generation, CollectMessages::lazyImagesUnfinished()));
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

    m_window.setWindowEnabled(false);
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    // A page with one of the classic blocks is read by them. A page without them, or whose
    // blocks hold no picture, is read as today's script-rendered page, by the areas that its
    // class words and ids mark; a page that has neither holds no item pictures.
    error = co_await walkElements(waits, *document, generation, set);
    if (waits.aborted())
        co_return ended(address);
    if (!error.isEmpty())
        co_return fail(error);
    if (!hasPictures(set)) {
        error = co_await readCurrentLayout(waits, *document, generation, set);
        if (waits.aborted())
            co_return ended(address);
        if (!error.isEmpty())
            co_return fail(error);
    }
    if (!hasPictures(set))
        co_return fail(CollectMessages::noPictures());
    m_window.setWindowEnabled(true);

    const PreviewResult preview = co_await writePreviewPage(m_previewBrowser, waits, set, address);
    if (waits.aborted())
        co_return ended(address);
    if (!preview.ok())
        co_return fail(CollectMessages::previewFailed(preview.errorString));

    // The collect's line keeps its final time.
    m_clock.reset();
    showElapsed();
    CollectResult result;
    if (!limitNotice.isEmpty())
        result.notices.append(limitNotice);
    result.notices.append(truncationNotices(set));
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
    m_messages.setLine(m_progressLine, CollectMessages::progress(seconds));
}

void CollectCommand::keepClock()
{
    const int untilNextSecond = 1000 - static_cast<int>((m_loop.now() - m_startedAt) % 1000);
    m_clock = m_loop.after(untilNextSecond, [this] {
        showElapsed();
        keepClock();
    });
}

QCoro::Task<QString> CollectCommand::waitUntilLoaded(Waits &waits, int generation)
{
    for (;;) {
        // A failed load, Stop, or a navigation of the page's or the user's own ends the wait.
        if (m_itemBrowser.loadGeneration() != generation)
            co_return CollectMessages::pageGone();
        switch (m_itemBrowser.loadState()) {
        case PageBrowser::LoadState::Finished:
            co_return noError();
        case PageBrowser::LoadState::Failed:
            co_return CollectMessages::loadFailed();
        case PageBrowser::LoadState::Loading:
            break;
        }
        showElapsed();
        co_await waitForChange(waits, m_itemBrowser);
        if (waits.aborted())
            co_return noError();
    }
}

QCoro::Task<QString> CollectCommand::walkElements(Waits &waits, PageDocument &document, int generation,
                                                  CollectedSet &set)
{
    const QStringList recognised{detailId(), skuId(), tmallId(), descriptionId()};
    const std::optional<QList<PageElement>> divs = co_await waits.answer<std::optional<QList<PageElement>>>(
        [&](PageDocument::Reply<std::optional<QList<PageElement>>> reply) {
            document.elementsByTagName(QStringLiteral("div"), recognised, std::move(reply));
        });
    if (waits.aborted())
        co_return noError();
    if (!divs)
        co_return readFailure(generation, CollectMessages::unreadableDivs());
    const bool classic = std::any_of(divs->cbegin(), divs->cend(),
                                     [&](const PageElement &div) { return recognised.contains(div.id); });
    if (!classic)
        co_return noError();
    for (const PageElement &div : *divs) {
        co_await waits.nextTurn();
        if (waits.aborted())
            co_return noError();
        if (m_itemBrowser.loadGeneration() != generation)
            co_return CollectMessages::pageGone();
        showElapsed();
        if (div.id == detailId())
            extractMainPictures(div.innerHtml, set.mainPictures);
        else if (div.id == skuId())
            extractColourPictures(div.innerHtml, set.colourPictures);
        else if (div.id == tmallId())
            extractTmallPictures(div.innerHtml, set.mainPictures, set.colourPictures);
        else if (div.id == descriptionId())
            extractDescriptionPictures(div.innerHtml, set.descriptionPictures);
    }
    co_return noError();
}

QCoro::Task<QString> CollectCommand::readCurrentLayout(Waits &waits, PageDocument &document, int generation,
                                                       CollectedSet &set)
{
    const std::optional<PageImages> images = co_await waits.answer<std::optional<PageImages>>(
        [&](PageDocument::Reply<std::optional<PageImages>> reply) {
            document.imagesMatching(CurrentLayout::selectors(), CurrentLayout::lazyAddressAttributes(),
                                    std::move(reply));
        });
    if (waits.aborted())
        co_return noError();
    if (!images)
        co_return readFailure(generation, CollectMessages::unreadablePictures());
    if (m_itemBrowser.loadGeneration() != generation)
        co_return CollectMessages::pageGone();
    CurrentLayout::fill(*images, set);
    co_return noError();
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
    m_window.setWindowEnabled(true);
    m_messages.insertLine(message);

    CollectResult result;
    result.errorString = message;
    result.set = clearedSet();
    return result;
}

} // namespace talvesk
