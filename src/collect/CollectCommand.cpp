// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectCommand.h"

#include "collect/Extraction.h"
#include "collect/ItemTitle.h"
#include "collect/PictureList.h"
#include "collect/ScrollPhase.h"
#include "platform/EventLoop.h"
#include "platform/MessageList.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/WaitForPage.h"
#include "platform/Waits.h"
#include "platform/WindowControls.h"

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

QString emptyAddressMessage()
{
    return QStringLiteral("消息提示:地址栏为空,请先输入产品详情页的网址再采集！");
}
QString loadFailedMessage()
{
    return QStringLiteral("采集失败:网页载入失败或已被停止,请重新采集！");
}
QString pageGoneMessage()
{
    return QStringLiteral("采集失败:采集过程中网页已跳转或重新载入,请重新采集！");
}
QString noDocumentMessage()
{
    return QStringLiteral("采集失败:浏览器中没有可读取的网页！");
}
QString noBodyMessage()
{
    return QStringLiteral("采集失败:网页没有正文(body),无法滚动页面！");
}
QString unreadableDivsMessage()
{
    return QStringLiteral("采集失败:无法读取网页中的div元素！");
}
QString lazyImagesFailedMessage()
{
    return QStringLiteral("采集失败:无法补全描述中尚未加载的图片！");
}
QString previewFailedMessage()
{
    return QStringLiteral("采集失败:无法生成采集结果预览页,原因:");
}
QString unresponsiveMessage()
{
    return QStringLiteral("采集失败:网页脚本无响应");
}
QString distanceLimitMessage()
{
    return QStringLiteral("消息提示:网页持续变长,已采集前300000像素内的图片");
}
QString scrollTimeLimitMessage()
{
    return QStringLiteral("消息提示:网页持续变长,已滚动5分钟");
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

QString CollectCommand::progressMessage(std::int32_t seconds)
{
    return QStringLiteral("消息提示:图片采集中,估算已用时") + QString::number(seconds) +
           QStringLiteral("s，采集过程中请勿做其他操作！");
}

QString CollectCommand::summaryMessage(const PreviewCounts &counts)
{
    return QStringLiteral("图片采集完成,主图数:") + QString::number(counts.main + counts.colour) +
           QStringLiteral(",描述图数:") + QString::number(counts.description) + QStringLiteral(",总图数:") +
           QString::number(counts.main + counts.colour + counts.description) +
           QStringLiteral(",可以进行下载！");
}

QString CollectCommand::timeLimitMessage(int seconds)
{
    return QStringLiteral("采集失败:网页在%1秒内未能完成载入和滚动").arg(seconds);
}

QString CollectCommand::busyMessage()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等本次采集完成后再操作！");
}

QString CollectCommand::downloadBusyMessage()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等采集完成后再下载！");
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
        m_messages.insertLine(busyMessage());
        co_return refused(busyMessage());
    }
    if (address.trimmed().isEmpty()) {
        m_messages.insertLine(emptyAddressMessage());
        co_return refused(emptyAddressMessage());
    }
    Waits waits(m_loop);
    waits.dependOn(m_itemBrowser.presence());
    waits.dependOn(m_previewBrowser.presence());
    const Running running(*this, waits);

    CollectedSet set;
    m_window.selectTab(WindowControls::Tab::Browse);
    m_progressLine = m_messages.insertLine(progressMessage(0));
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
        co_return fail(readFailure(generation, noDocumentMessage()));
    const std::optional<int> height = co_await waits.answer<std::optional<int>>(
        [&](PageDocument::Reply<std::optional<int>> reply) { document->bodyScrollHeight(std::move(reply)); });
    if (waits.aborted())
        co_return ended(address);
    if (!height)
        co_return fail(readFailure(generation, noBodyMessage()));

    QString limitNotice;
    switch (co_await scroll.run(waits, *document, *height, generation,
                                [this](int seconds) { showProgress(seconds); })) {
    case ScrollPhase::End::Aborted:
        co_return ended(address);
    case ScrollPhase::End::PageGone:
        co_return fail(pageGoneMessage());
    case ScrollPhase::End::NoBody:
        co_return fail(readFailure(generation, noBodyMessage()));
    case ScrollPhase::End::DistanceLimit:
        limitNotice = distanceLimitMessage();
        break;
    case ScrollPhase::End::TimeLimit:
        limitNotice = scrollTimeLimitMessage();
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
        co_return fail(readFailure(generation, noDocumentMessage()));
    // The page's loader may not have reached every description picture: the placeholder
    // would be collected in its place.
    const std::optional<int> completed =
        co_await waits.answer<std::optional<int>>([&](PageDocument::Reply<std::optional<int>> reply) {
            document->loadLazyImages(descriptionId(), QStringLiteral("data-ks-lazyload"), std::move(reply));
        });
    if (waits.aborted())
        co_return ended(address);
    if (!completed)
        co_return fail(readFailure(generation, lazyImagesFailedMessage()));
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
    error = co_await walkElements(waits, *document, generation, set);
    if (waits.aborted())
        co_return ended(address);
    if (!error.isEmpty())
        co_return fail(error);
    m_window.setWindowEnabled(true);

    const PreviewResult preview = co_await writePreviewPage(m_previewBrowser, waits, set, address);
    if (waits.aborted())
        co_return ended(address);
    if (!preview.ok())
        co_return fail(previewFailedMessage() + preview.errorString);

    CollectResult result;
    if (!limitNotice.isEmpty())
        result.notices.append(limitNotice);
    result.notices.append(truncationNotices(set));
    for (const QString &notice : std::as_const(result.notices))
        m_messages.insertLine(notice);
    m_messages.insertLine(summaryMessage(preview.counts));
    m_window.selectTab(WindowControls::Tab::Preview);

    result.status = CollectResult::Status::Collected;
    result.counts = preview.counts;
    result.address = address;
    result.set = std::move(set);
    co_return result;
}

void CollectCommand::showProgress(std::int32_t seconds)
{
    m_messages.setLine(m_progressLine, progressMessage(seconds));
}

QCoro::Task<QString> CollectCommand::waitUntilLoaded(Waits &waits, int generation)
{
    for (;;) {
        // A failed load, Stop, or a navigation of the page's or the user's own ends the wait.
        if (m_itemBrowser.loadGeneration() != generation)
            co_return pageGoneMessage();
        switch (m_itemBrowser.loadState()) {
        case PageBrowser::LoadState::Finished:
            co_return noError();
        case PageBrowser::LoadState::Failed:
            co_return loadFailedMessage();
        case PageBrowser::LoadState::Loading:
            break;
        }
        showProgress(0);
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
        co_return readFailure(generation, unreadableDivsMessage());
    for (const PageElement &div : *divs) {
        co_await waits.nextTurn();
        if (waits.aborted())
            co_return noError();
        if (m_itemBrowser.loadGeneration() != generation)
            co_return pageGoneMessage();
        showProgress(0);
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

QString CollectCommand::readFailure(int generation, const QString &message) const
{
    // A read also fails when the page is replaced under it; say so rather than blame the page.
    if (m_itemBrowser.loadGeneration() != generation)
        return pageGoneMessage();
    return m_itemBrowser.scriptTimedOut() ? unresponsiveMessage() : message;
}

CollectResult CollectCommand::ended(const QString &address)
{
    CollectResult result;
    result.address = address;
    if (!m_abortReason) {
        // Not ended by anyone: a browser went, with the window it was part of maybe, so
        // nothing is shown.
        result.errorString = pageGoneMessage();
        result.set = clearedSet();
        return result;
    }
    switch (*m_abortReason) {
    case CollectAbort::Closing:
        // Nothing is shown: the window may be going.
        result.status = CollectResult::Status::Closing;
        return result;
    case CollectAbort::Navigated:
        result = fail(pageGoneMessage());
        break;
    case CollectAbort::TimeLimit:
        result = fail(timeLimitMessage(m_timeLimitSeconds));
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
