// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadCommand.h"

#include "download/DownloadText.h"
#include "download/FetchQueue.h"
#include "download/FolderCreation.h"
#include "download/ItemFolderName.h"
#include "download/PathJoin.h"
#include "platform/Waits.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>

#include <array>
#include <utility>

namespace talvesk {

// What one run keeps in its own frame. The procedure below reads only this and its arguments,
// never the command: a run stopped by the command's destructor returns without touching it.
class DownloadRun final
{
public:
    DownloadRun(EventLoop &loop, const DownloadOptions &runOptions) : waits(loop), options(runOptions) {}

    void report(const DownloadProgress &progress) const
    {
        if (options.progress)
            options.progress(progress);
    }

    Waits waits;
    const DownloadOptions options;
    FetchQueue *queue = nullptr; // the list being fetched
    bool cancelled = false;
    bool commandGone = false; // ended by the command's destructor
};

namespace {

struct ListPlan
{
    const PictureList *list;
    const QList<int> *chosen; // nullptr: every picture
    PictureKind kind;
    QString subfolder;
    int stemLength;
    QString filePrefix;
    QString folder = {}; // the subfolder as created
};

// Pictures fetched one batch after the other; a batch of a list that had nothing collected
// says so first.
struct Batch
{
    QList<PictureFile> pictures;
    std::optional<PictureKind> emptyList;
};

void failFolder(DownloadResult &result, const QString &folder, const QString &reason)
{
    result.outcome = DownloadResult::Outcome::FolderFailed;
    result.failedFolder = folder;
    result.folderFailure = reason;
}

// The item folder, reported once settled, then a subfolder for each list.
bool createFolders(const DownloadRun &run, const QString &chosen, const QString &itemTitle,
                   std::array<ListPlan, 3> &plans, DownloadResult &result)
{
    const ItemFolderName folderName = itemFolderName(itemTitle);
    const QString itemRequested = joinPath(chosen, folderName.name);
    const FolderResult item = createNewFolder(itemRequested, static_cast<int>(folderName.name.size()));
    DownloadProgress made;
    made.step = DownloadProgress::Step::ItemFolder;
    made.itemFolder = item.ok() ? item.path : QString();
    made.shortenedName = folderName.shortened ? folderName.name : QString();
    run.report(made);
    if (!item.ok()) {
        failFolder(result, itemRequested, item.error);
        return false;
    }
    result.itemFolder = item.path;
    for (ListPlan &plan : plans) {
        const QString requested = joinPath(item.path, plan.subfolder);
        const FolderResult sub = createNewFolder(requested, plan.stemLength);
        if (!sub.ok()) {
            failFolder(result, requested, sub.error);
            return false;
        }
        plan.folder = sub.path;
    }
    return true;
}

// The batches' pictures, counted into result as they finish. Once stopped, it returns at once
// and reports nothing more.
QCoro::Task<> fetchBatches(DownloadRun &run, const QList<Batch> &batches, DownloadResult &result)
{
    Waits &waits = run.waits;
    DownloadProgress progress;
    progress.total = result.total;
    run.report(progress);

    // One manager for the run, so connections are kept alive from one picture to the next. It
    // and the queues go with this frame, from the event loop, never inside one of their signals.
    QNetworkAccessManager manager;
    int done = 0; // pictures of the batches before the current one
    for (const Batch &batch : batches) {
        if (batch.emptyList) {
            DownloadProgress empty;
            empty.step = DownloadProgress::Step::EmptyList;
            empty.list = *batch.emptyList;
            run.report(empty);
        }
        if (batch.pictures.isEmpty())
            continue;
        FetchQueue queue(manager, run.options.fetch, run.options.concurrency);
        run.queue = &queue;
        for (const PictureFile &picture : batch.pictures)
            queue.add(picture.address, picture.fileName);
        while (!queue.isIdle()) {
            co_await waits.event([&queue](std::function<void()> finished) {
                QObject::connect(&queue, &FetchQueue::pictureFinished, &queue, std::move(finished),
                                 Qt::SingleShotConnection);
            });
            if (waits.aborted())
                break;
            progress.done = done + queue.finishedCount();
            run.report(progress);
        }
        run.queue = nullptr;
        const QList<FetchResult> failed = queue.failures();
        result.saved += queue.finishedCount() - static_cast<int>(failed.size());
        result.failures += failed;
        if (waits.aborted())
            co_return;
        done += queue.finishedCount();
    }
    if (!waits.aborted())
        result.outcome = DownloadResult::Outcome::Done;
}

QCoro::Task<DownloadResult> download(DownloadRun &run, const CollectedSet &set,
                                     const std::optional<PictureChoice> &choice)
{
    DownloadResult result;
    QString answer;
    if (run.options.askSaveFolder) {
        const auto &ask = run.options.askSaveFolder;
        const QString startFolder = QDir::toNativeSeparators(run.options.startFolder);
        answer = co_await run.waits.answer<QString>(
            [&ask, &startFolder](Waits::Reply<QString> reply) { ask(startFolder, std::move(reply)); });
    }
    if (run.waits.aborted()) // stopped while the question was open
        co_return result;
    const QString chosen = withoutTrailingSeparator(answer);
    if (chosen.isEmpty() || set.itemTitle.isEmpty()) {
        result.outcome = DownloadResult::Outcome::NotStarted;
        co_return result;
    }
    result.chosenFolder = chosen;
    if (run.options.makeChosenFolder) {
        const FolderResult made = createFolderPath(chosen);
        if (!made.ok()) {
            failFolder(result, chosen, made.error);
            co_return result;
        }
    }
    std::array<ListPlan, 3> plans{{
        {&set.mainPictures, choice ? &choice->main : nullptr, PictureKind::Main, QStringLiteral("主图"), 2,
         QStringLiteral("描述主图")},
        {&set.colourPictures, choice ? &choice->colour : nullptr, PictureKind::Colour,
         QStringLiteral("颜色图"), 3, QStringLiteral("颜色主图")},
        {&set.descriptionPictures, choice ? &choice->description : nullptr, PictureKind::Description,
         QStringLiteral("描述图"), 3, QStringLiteral("描述图")},
    }};
    if (!createFolders(run, chosen, set.itemTitle, plans, result))
        co_return result;

    // Lists go one after the other, in their fixed order. A picture's file takes its slot
    // number, chosen or not, so pictures saved later fit in beside.
    QList<Batch> batches;
    for (const ListPlan &plan : plans) {
        Batch batch;
        const int count = countPictures(*plan.list);
        if (count == 0)
            batch.emptyList = plan.kind;
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
    co_await fetchBatches(run, batches, result);
    co_return result;
}

QCoro::Task<DownloadResult> fetchAgain(DownloadRun &run, const RetryPlan &plan)
{
    DownloadResult result;
    result.itemFolder = plan.itemFolder;
    result.total = static_cast<int>(plan.pictures.size());
    // The item folder went if the first download saved nothing; it is made again, as it was.
    for (const PictureFile &picture : plan.pictures) {
        const QString folder = QFileInfo(picture.fileName).absolutePath();
        const FolderResult made = createFolderPath(folder);
        if (!made.ok()) {
            failFolder(result, folder, made.error);
            co_return result;
        }
    }
    QList<Batch> batches(1);
    batches[0].pictures = plan.pictures;
    co_await fetchBatches(run, batches, result);
    co_return result;
}

// An item folder with pictures to save and none saved holds only the empty folders made for
// them: they go, and anything someone else put there since stays.
void removeIfNothingSaved(const DownloadOptions &options, DownloadResult &result)
{
    if (options.keepFolderWhenNothingSaved)
        return;
    if (result.saved == 0 && result.total > 0 && !result.itemFolder.isEmpty())
        result.itemFolderRemoved = removeEmptyFolders(result.itemFolder);
}

} // namespace

DownloadCommand::DownloadCommand(EventLoop &loop, DownloadOptions options)
    : m_loop(loop), m_options(std::move(options))
{
}

DownloadCommand::~DownloadCommand()
{
    // The running procedure returns now, inside this call, reading only its own frame; also
    // one stopped before that has not yet returned.
    if (!m_run)
        return;
    m_run->commandGone = true;
    if (m_run->queue)
        m_run->queue->abortAll();
    m_run->waits.abortBeforeDestruction();
}

void DownloadCommand::cancel()
{
    if (m_run)
        m_run->cancelled = true;
    abort();
}

void DownloadCommand::abort()
{
    if (!m_run)
        return;
    if (m_run->queue)
        m_run->queue->abortAll();
    m_run->waits.abort();
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
    if (m_run) {
        DownloadResult refused;
        refused.outcome = DownloadResult::Outcome::NotStarted;
        co_return refused;
    }
    DownloadRun run(m_loop, m_options);
    m_run = &run;
    // Not a conditional expression: GCC mishandles co_await in one.
    DownloadResult result;
    if (retry)
        result = co_await fetchAgain(run, *retry);
    else
        result = co_await download(run, set, choice);
    // From here on the command is touched only if it is still there.
    if (!run.commandGone)
        m_run = nullptr;
    if (result.outcome == DownloadResult::Outcome::Done ||
        result.outcome == DownloadResult::Outcome::Unfinished)
        removeIfNothingSaved(run.options, result);
    result.cancelled = run.cancelled;
    co_return result;
}

} // namespace talvesk
