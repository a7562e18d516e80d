// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadCommand.h"

#include "download/DownloadText.h"
#include "download/FetchQueue.h"
#include "download/FolderCreation.h"
#include "download/FolderPicker.h"
#include "download/ItemFolderName.h"
#include "download/PathJoin.h"
#include "platform/Dialogs.h"
#include "platform/Waits.h"
#include "platform/WindowControls.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QPointer>

#include <utility>

namespace talvesk {

namespace {

QString folderErrorLine(const QString &folder, const QString &reason)
{
    return QStringLiteral("无法创建文件夹:%1,原因:%2").arg(folder, reason);
}

} // namespace

DownloadCommand::DownloadCommand(WindowControls &window, Dialogs &dialogs, MessageList &messages,
                                 EventLoop &loop, const DownloadOptions &options, QObject *parent)
    : QObject(parent), m_window(window), m_dialogs(dialogs), m_messages(messages), m_loop(loop),
      m_options(options)
{
}

DownloadCommand::~DownloadCommand()
{
    // The running download refers to this command: it ends now.
    if (m_queue)
        m_queue->abortAll();
    if (m_waits)
        m_waits->abortBeforeDestruction();
}

void DownloadCommand::cancel()
{
    if (!m_waits || m_progressLine == 0)
        return;
    m_cancelled = true;
    abort();
}

void DownloadCommand::abort()
{
    if (m_queue)
        m_queue->abortAll();
    if (m_waits)
        m_waits->abort();
}

QCoro::Task<DownloadResult> DownloadCommand::run(CollectedSet set, std::optional<PictureChoice> choice)
{
    return runOne(std::move(set), std::move(choice), std::nullopt);
}

QCoro::Task<DownloadResult> DownloadCommand::retry(RetryPlan plan)
{
    return runOne({}, std::nullopt, std::move(plan));
}

QCoro::Task<DownloadResult> DownloadCommand::runOne(CollectedSet set, std::optional<PictureChoice> choice,
                                                    std::optional<RetryPlan> retry)
{
    if (m_waits) {
        DownloadResult refused;
        refused.outcome = DownloadResult::Outcome::NotStarted;
        co_return refused;
    }
    Waits waits(m_loop);
    m_waits = &waits;
    m_progressLine = 0;
    m_cancelled = false;
    // Not a conditional expression: GCC mishandles co_await in one.
    DownloadResult result;
    if (retry)
        result = co_await fetchAgain(waits, *retry);
    else
        result = co_await download(waits, set, choice);
    m_waits = nullptr;
    if (result.outcome == DownloadResult::Outcome::Unfinished)
        removeIfNothingSaved(result);
    if (m_progressLine != 0) {
        m_messages.setLineAction(m_progressLine, {}, {});
        if (m_cancelled && result.outcome == DownloadResult::Outcome::Unfinished) {
            if (result.itemFolderRemoved)
                m_messages.insertLine(QStringLiteral("图片下载已取消,已保存0张"));
            else
                reportOnItemFolder(QStringLiteral("图片下载已取消,已保存%1张,保存至:%2")
                                       .arg(result.saved)
                                       .arg(result.itemFolder),
                                   result.itemFolder);
        }
    }
    co_return result;
}

QCoro::Task<DownloadResult> DownloadCommand::download(Waits &waits, const CollectedSet &set,
                                                      const std::optional<PictureChoice> &choice)
{
    DownloadResult result;
    m_window.selectTab(WindowControls::Tab::Preview);
    const QString chosen = chooseSaveFolder(m_dialogs, QStringLiteral("请选择保存目录"),
                                            QDir::toNativeSeparators(m_options.startFolder));
    if (waits.aborted()) // stopped while the dialog was open
        co_return result;
    if (chosen.isEmpty() || set.itemTitle.isEmpty()) {
        result.outcome = DownloadResult::Outcome::NotStarted;
        co_return result;
    }
    result.chosenFolder = chosen;
    if (m_options.makeChosenFolder) {
        const FolderResult made = createFolderPath(chosen);
        if (!made.ok()) {
            result.folderError = folderErrorLine(chosen, made.error);
            reportOnItemFolder(result.folderError, result.itemFolder);
            result.outcome = DownloadResult::Outcome::FolderFailed;
            co_return result;
        }
    }
    std::array<ListPlan, 3> plans{{
        {&set.mainPictures, choice ? &choice->main : nullptr, QStringLiteral("主图"), 2,
         QStringLiteral("描述主图"), QStringLiteral("无采集到主图")},
        {&set.colourPictures, choice ? &choice->colour : nullptr, QStringLiteral("颜色图"), 3,
         QStringLiteral("颜色主图"), QStringLiteral("无采集到颜色主图")},
        {&set.descriptionPictures, choice ? &choice->description : nullptr, QStringLiteral("描述图"), 3,
         QStringLiteral("描述图"), QStringLiteral("无采集到描述")},
    }};
    if (!createFolders(chosen, set.itemTitle, plans, result)) {
        reportOnItemFolder(result.folderError, result.itemFolder);
        result.outcome = DownloadResult::Outcome::FolderFailed;
        co_return result;
    }

    // Lists go one after the other, in their fixed order; one that had nothing collected says
    // so in a box. A picture's file takes its slot number, chosen or not, so pictures saved
    // later fit in beside.
    QList<Batch> batches;
    for (const ListPlan &plan : plans) {
        Batch batch;
        const int count = countPictures(*plan.list);
        if (count == 0)
            batch.emptyNotice = plan.emptyMessage;
        for (int n = 0; n < count; ++n) {
            if (plan.chosen && !plan.chosen->contains(n))
                continue;
            const QString &address = (*plan.list)[n];
            batch.pictures.append({address, joinPath(plan.folder, plan.filePrefix + QString::number(n) +
                                                                      pictureFileTail(address))});
        }
        result.total += static_cast<int>(batch.pictures.size());
        batches.append(batch);
    }
    const QList<FetchResult> failures = co_await fetch(waits, batches, result);
    if (!waits.aborted())
        reportEnd(result, failures);
    co_return result;
}

QCoro::Task<DownloadResult> DownloadCommand::fetchAgain(Waits &waits, const RetryPlan &plan)
{
    DownloadResult result;
    result.itemFolder = plan.itemFolder;
    result.total = static_cast<int>(plan.pictures.size());
    // The item folder went if the first download saved nothing; it is made again, as it was.
    for (const PictureFile &picture : plan.pictures) {
        const QString folder = QFileInfo(picture.fileName).absolutePath();
        const FolderResult made = createFolderPath(folder);
        if (!made.ok()) {
            result.folderError = folderErrorLine(folder, made.error);
            reportOnItemFolder(result.folderError, {});
            result.outcome = DownloadResult::Outcome::FolderFailed;
            co_return result;
        }
    }
    QList<Batch> batches(1);
    batches[0].pictures = plan.pictures;
    const QList<FetchResult> failures = co_await fetch(waits, batches, result);
    if (!waits.aborted())
        reportEnd(result, failures);
    co_return result;
}

QCoro::Task<QList<FetchResult>> DownloadCommand::fetch(Waits &waits, const QList<Batch> &batches,
                                                       DownloadResult &result)
{
    m_progressLine = m_messages.insertLine(progressLine(0, result.total));
    m_messages.setLineAction(m_progressLine, QStringLiteral("取消下载"), [download = QPointer(this)] {
        if (download)
            download->cancel();
    });
    Q_EMIT progressChanged(0);

    // One manager for the run, so connections are kept alive from one picture to the next. It
    // and the queues go with this frame, from the event loop, never inside one of their signals.
    QNetworkAccessManager manager;
    int done = 0; // pictures of the batches before the current one
    QList<FetchResult> failures;
    for (const Batch &batch : batches) {
        // The notice does not hold the download up: it is read while the next batch goes on.
        if (!batch.emptyNotice.isEmpty())
            m_dialogs.showMessage(batch.emptyNotice, QStringLiteral("下载提示"));
        if (batch.pictures.isEmpty())
            continue;
        FetchQueue queue(manager, m_options.fetch, m_options.concurrency);
        m_queue = &queue;
        for (const PictureFile &picture : batch.pictures)
            queue.add(picture.address, picture.fileName);
        while (!queue.isIdle() && !waits.aborted()) {
            co_await waits.event([&queue](std::function<void()> finished) {
                QObject::connect(&queue, &FetchQueue::pictureFinished, &queue, std::move(finished),
                                 Qt::SingleShotConnection);
            });
            showProgress(done + queue.finishedCount(), result.total);
        }
        m_queue = nullptr;
        const QList<FetchResult> failed = queue.failures();
        result.saved += queue.finishedCount() - static_cast<int>(failed.size());
        if (waits.aborted())
            co_return failures;
        done += queue.finishedCount();
        failures += failed;
    }
    co_return failures;
}

// The final line, then the failures above it, so what went wrong is what the user sees first.
// A download that saved nothing leaves no folder and ends with its failures alone.
void DownloadCommand::reportEnd(DownloadResult &result, const QList<FetchResult> &failures)
{
    removeIfNothingSaved(result);
    const QString shownFolder = result.itemFolderRemoved ? QString() : result.itemFolder;
    if (!result.itemFolderRemoved)
        reportOnItemFolder(QStringLiteral("图片下载完成,保存至:") + result.itemFolder, shownFolder);
    QStringList failureLines;
    RetryPlan retry{result.itemFolder, {}};
    for (const FetchResult &failure : failures) {
        failureLines.append(QStringLiteral("图片下载失败:%1,原因:%2").arg(failure.address, failure.reason));
        reportOnItemFolder(failureLines.last(), shownFolder);
        retry.pictures.append({failure.address, failure.fileName});
    }
    result.failed = static_cast<int>(failures.size());
    result.outcome = DownloadResult::Outcome::Done;
    if (result.failed == 0)
        return;
    // The count on top leads to the failures below it, and offers to fetch them again.
    const MessageLine count =
        reportOnItemFolder(QStringLiteral("共有%1张图片下载失败").arg(result.failed), shownFolder);
    m_messages.setLineAction(count, QStringLiteral("显示失败的图片"), [&dialogs = m_dialogs, failureLines] {
        dialogs.showLines(failureLines, QStringLiteral("下载失败的图片"));
    });
    if (m_options.retry)
        m_messages.setLineAction(count, QStringLiteral("重试失败的图片"),
                                 [offer = m_options.retry, retry] { offer(retry); });
}

bool DownloadCommand::createFolders(const QString &chosen, const QString &itemTitle,
                                    std::array<ListPlan, 3> &plans, DownloadResult &result)
{
    const ItemFolderName folderName = itemFolderName(itemTitle);
    if (folderName.shortened)
        m_messages.insertLine(QStringLiteral("消息提示:宝贝标题过长,文件夹名已截短为:") + folderName.name);
    const QString itemRequested = joinPath(chosen, folderName.name);
    const FolderResult item = createNewFolder(itemRequested, static_cast<int>(folderName.name.size()));
    if (!item.ok()) {
        result.folderError = folderErrorLine(itemRequested, item.error);
        return false;
    }
    result.itemFolder = item.path;
    for (ListPlan &plan : plans) {
        const QString requested = joinPath(item.path, plan.subfolder);
        const FolderResult sub = createNewFolder(requested, plan.stemLength);
        if (!sub.ok()) {
            result.folderError = folderErrorLine(requested, sub.error);
            return false;
        }
        plan.folder = sub.path;
    }
    return true;
}

// An item folder with pictures to save and none saved holds only the empty folders made for
// them: they go, and anything someone else put there since stays.
void DownloadCommand::removeIfNothingSaved(DownloadResult &result)
{
    if (m_options.keepFolderWhenNothingSaved)
        return;
    if (result.saved == 0 && result.total > 0 && !result.itemFolder.isEmpty() && !result.itemFolderRemoved)
        result.itemFolderRemoved = removeEmptyFolders(result.itemFolder);
}

void DownloadCommand::showProgress(int done, int total)
{
    m_messages.setLine(m_progressLine, progressLine(done, total));
    Q_EMIT progressChanged(progressPercent(done, total));
}

// A line about this download's item folder, from which the user can open it (once it exists).
MessageLine DownloadCommand::reportOnItemFolder(const QString &text, const QString &itemFolder)
{
    const MessageLine line = m_messages.insertLine(text);
    if (!itemFolder.isEmpty())
        m_messages.setLineFolder(line, itemFolder);
    return line;
}

} // namespace talvesk
