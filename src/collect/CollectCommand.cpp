#include "collect/CollectCommand.h"

#include "collect/Extraction.h"
#include "collect/ItemTitle.h"
#include "collect/PictureList.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/MessageList.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/Ticker.h"
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
QString timeLimitMessage()
{
    return QStringLiteral("消息提示:网页持续变长,已滚动5分钟");
}

// Lazy loaders answer the view after a delay of their own: an IntersectionObserver at the next
// frame, a throttled scroll handler up to a few hundred milliseconds later. The page gets this
// long after the last scroll before its markup is read.
constexpr int kSettleMs = 300;

// A page that has not drawn its latest scroll position in this long is not waited for again
// until it draws once more: it may draw nothing for good (a minimised window, say).
constexpr std::int64_t kDrawWaitMs = 1000;

// A page that keeps growing (an endless feed) would hold the scroll phase for good.
constexpr std::int32_t kScrollDistanceLimit = 300000;
constexpr std::int64_t kScrollTimeLimitMs = 5 * 60 * 1000;

// Marks a collect as running; when it ends, however it ends, its ticks end too.
class RunningFlag final
{
public:
    RunningFlag(bool &flag, Ticker &ticker) : m_flag(flag), m_ticker(ticker) { m_flag = true; }
    ~RunningFlag()
    {
        m_ticker.stop();
        m_flag = false;
    }
    RunningFlag(const RunningFlag &) = delete;
    RunningFlag &operator=(const RunningFlag &) = delete;

private:
    bool &m_flag;
    Ticker &m_ticker;
};

CollectResult refused(const QString &message)
{
    CollectResult result;
    result.status = CollectResult::Status::Refused;
    result.errorString = message;
    return result;
}

CollectResult closing()
{
    CollectResult result;
    result.status = CollectResult::Status::Closing;
    return result;
}

} // namespace

CollectCommand::CollectCommand(PageBrowser &itemBrowser, PageBrowser &previewBrowser, WindowControls &window,
                               MessageList &messages, EventLoop &loop, const Clock &clock, Ticker &ticker,
                               CollectedSet &set)
    : m_itemBrowser(itemBrowser), m_previewBrowser(previewBrowser), m_window(window), m_messages(messages),
      m_loop(loop), m_clock(clock), m_ticker(ticker), m_set(set)
{
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

QString CollectCommand::busyMessage()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等本次采集完成后再操作！");
}

QString CollectCommand::downloadBusyMessage()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等采集完成后再下载！");
}

CollectResult CollectCommand::run()
{
    // A second run would reset scrollStep under the first one's scroll phase.
    if (m_running) {
        m_messages.insertLine(busyMessage());
        return refused(busyMessage());
    }
    const QString address = m_window.addressText();
    if (address.trimmed().isEmpty()) {
        m_messages.insertLine(emptyAddressMessage());
        return refused(emptyAddressMessage());
    }
    const RunningFlag running(m_running, m_ticker);

    m_set.itemTitle.clear();
    m_tickCount = 0;
    m_window.selectTab(WindowControls::Tab::Browse);
    m_scrollStep = 5;
    m_progressLine = m_messages.insertLine(progressMessage(m_tickCount));
    m_itemBrowser.navigate(address);
    const int generation = m_itemBrowser.loadGeneration();

    QString error;
    switch (waitUntilReady(generation, error)) {
    case Wait::Ready:
        break;
    case Wait::Failed:
        return failRead(generation, error);
    case Wait::Closing:
        return closing();
    }

    m_ticker.start([this] { tick(); });
    std::unique_ptr<PageDocument> document = m_itemBrowser.document();
    if (!document)
        return failRead(generation, noDocumentMessage());
    const std::optional<int> height = document->bodyScrollHeight();
    if (!height)
        return failRead(generation, readFailure(noBodyMessage()));
    m_lastHeight = *height;
    m_currentHeight = *height;

    QString limitNotice;
    switch (scrollToBottom(*document, *height, generation, error, limitNotice)) {
    case Wait::Ready:
        break;
    case Wait::Failed:
        return failRead(generation, error);
    case Wait::Closing:
        return closing();
    }

    m_ticker.stop();
    m_tickCount = 0;
    m_scrollStep = 0;
    if (!m_loop.runFor(kSettleMs))
        return closing();

    document = m_itemBrowser.document();
    if (!document)
        return failRead(generation, noDocumentMessage());
    // The page's loader may not have reached every description picture: the placeholder
    // would be collected in its place.
    if (!document->loadLazyImages(descriptionId(), QStringLiteral("data-ks-lazyload")))
        return failRead(generation, lazyImagesFailedMessage());
    const ItemTitleResult title = readItemTitle(m_itemBrowser);
    if (!title.ok)
        return failRead(generation, readFailure(title.errorString));
    m_set.itemTitle = title.title;

    m_window.setWindowEnabled(false);
    m_set.mainPictures.clear();
    m_set.colourPictures.clear();
    m_set.descriptionPictures.clear();
    switch (walkElements(*document, generation, error)) {
    case Wait::Ready:
        break;
    case Wait::Failed:
        return failRead(generation, error);
    case Wait::Closing:
        return closing();
    }
    m_window.setWindowEnabled(true);

    const PreviewResult preview = writePreviewPage(m_previewBrowser, m_loop, m_set, m_window.addressText());
    switch (preview.status) {
    case PreviewResult::Status::Written:
        break;
    case PreviewResult::Status::Closing:
        return closing();
    case PreviewResult::Status::Failed:
        return fail(previewFailedMessage() + preview.errorString);
    }

    if (!limitNotice.isEmpty())
        m_messages.insertLine(limitNotice);
    m_messages.insertLine(summaryMessage(preview.counts));
    m_itemBrowser.setVisible(false);
    m_previewBrowser.setVisible(true);
    m_window.selectTab(WindowControls::Tab::Preview);

    CollectResult result;
    result.status = CollectResult::Status::Collected;
    result.counts = preview.counts;
    return result;
}

void CollectCommand::showProgress(std::int32_t seconds)
{
    m_messages.setLine(m_progressLine, progressMessage(seconds));
}

void CollectCommand::tick()
{
    // The height is the one the latest scroll pass read: a read of its own here would wait for
    // the page inside a timer's callback.
    ++m_tickCount;
    if (m_tickCount % 10 == 0) {
        if (m_lastHeight == m_currentHeight)
            m_scrollStep += 2;
        else
            m_lastHeight = m_currentHeight;
    }
}

CollectCommand::Wait CollectCommand::waitUntilReady(int generation, QString &error)
{
    for (;;) {
        // Stop, a failed load or a navigation of the user's own ends the wait.
        if (m_itemBrowser.loadGeneration() != generation) {
            error = pageGoneMessage();
            return Wait::Failed;
        }
        switch (m_itemBrowser.loadState()) {
        case PageBrowser::LoadState::Finished:
            return Wait::Ready;
        case PageBrowser::LoadState::Failed:
            error = loadFailedMessage();
            return Wait::Failed;
        case PageBrowser::LoadState::Loading:
            break;
        }
        showProgress(m_tickCount);
        if (!m_loop.waitForEvents())
            return Wait::Closing;
    }
}

CollectCommand::Wait CollectCommand::scrollToBottom(PageDocument &document, int height, int generation,
                                                    QString &error, QString &limitNotice)
{
    // The sum of the requested steps, not the page's real position, ends the phase. Each pass
    // scrolls and reads the height the next pass tests in one round trip to the page.
    std::int32_t scrolledDistance = 0;
    const std::int64_t start = m_clock.milliseconds();
    bool waitForDrawing = true;
    for (;;) {
        if (scrolledDistance >= height)
            return Wait::Ready;
        if (scrolledDistance >= kScrollDistanceLimit) {
            limitNotice = distanceLimitMessage();
            return Wait::Ready;
        }
        if (m_clock.milliseconds() - start >= kScrollTimeLimitMs) {
            limitNotice = timeLimitMessage();
            return Wait::Ready;
        }

        if (!m_loop.yield())
            return Wait::Closing;
        if (m_itemBrowser.loadGeneration() != generation) {
            error = pageGoneMessage();
            return Wait::Failed;
        }
        scrolledDistance += m_scrollStep;
        showProgress(m_tickCount);
        const std::optional<int> next = document.scrollByReadingHeight(0, m_scrollStep);
        if (!next) {
            error = readFailure(noBodyMessage());
            return Wait::Failed;
        }
        height = *next;
        m_currentHeight = height;
        if (!letDrawingCatchUp(waitForDrawing))
            return Wait::Closing;
    }
}

bool CollectCommand::letDrawingCatchUp(bool &waitForDrawing)
{
    // The page's lazy loaders watch it as drawn: scrolling on while the drawing lags most of a
    // view behind would carry places past them unseen.
    if (!m_itemBrowser.drawingBehind()) {
        waitForDrawing = true;
        return true;
    }
    const std::int64_t start = m_clock.milliseconds();
    while (waitForDrawing && m_itemBrowser.drawingBehind()) {
        if (m_clock.milliseconds() - start >= kDrawWaitMs)
            waitForDrawing = false;
        else if (!m_loop.waitForEvents())
            return false;
    }
    return true;
}

CollectCommand::Wait CollectCommand::walkElements(PageDocument &document, int generation, QString &error)
{
    const QStringList recognised{detailId(), skuId(), tmallId(), descriptionId()};
    const std::optional<QList<PageElement>> divs =
        document.elementsByTagName(QStringLiteral("div"), recognised);
    if (!divs) {
        error = readFailure(unreadableDivsMessage());
        return Wait::Failed;
    }
    for (const PageElement &div : *divs) {
        if (!m_loop.yield())
            return Wait::Closing;
        if (m_itemBrowser.loadGeneration() != generation) {
            error = pageGoneMessage();
            return Wait::Failed;
        }
        showProgress(0);
        if (div.id == detailId())
            extractMainPictures(div.innerHtml, m_set.mainPictures);
        else if (div.id == skuId())
            extractColourPictures(div.innerHtml, m_set.colourPictures);
        else if (div.id == tmallId())
            extractTmallPictures(div.innerHtml, m_set.mainPictures, m_set.colourPictures);
        else if (div.id == descriptionId())
            extractDescriptionPictures(div.innerHtml, m_set.descriptionPictures);
    }
    return Wait::Ready;
}

QString CollectCommand::readFailure(const QString &message) const
{
    return m_itemBrowser.scriptTimedOut() ? unresponsiveMessage() : message;
}

CollectResult CollectCommand::failRead(int generation, const QString &message)
{
    // A read also fails when the page is replaced under it; say so rather than blame the page.
    return fail(m_itemBrowser.loadGeneration() != generation ? pageGoneMessage() : message);
}

CollectResult CollectCommand::fail(const QString &message)
{
    // A read or a write cut short because the program closes is nothing to report.
    if (m_loop.isClosing())
        return closing();
    m_set.itemTitle.clear();
    m_set.mainPictures.clear();
    m_set.colourPictures.clear();
    m_set.descriptionPictures.clear();
    m_tickCount = 0;
    m_scrollStep = 0;
    m_window.setWindowEnabled(true);
    m_messages.insertLine(message);

    CollectResult result;
    result.errorString = message;
    return result;
}

} // namespace talvesk
