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

#include <algorithm>
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
        // Whoever it reported to may have gone with the command.
        if (options.progress && !commandGone)
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
    QStringList addresses;
    const QList<int> *chosen; // nullptr: every one
    PictureKind kind;
    QString subfolder;
    int stemLength;
    QString filePrefix;
    QString folder = {}; // the subfolder as created

    // The video's folder is made only for a video to save; each picture list has its own.
    bool needsFolder() const
    {
        return kind != PictureKind::Video || (chosen ? !chosen->isEmpty() : !addresses.isEmpty());
    }
};

// Pictures fetched one batch after the other; a batch of a list that had nothing collected
// says so first.
struct Batch
{
    QList<PictureFile> pictures;
    std::optional<PictureKind> emptyList;
    bool video = false;
};

void failFolder(DownloadResult &result, const QString &folder, const FolderFailure &failure)
{
    result.outcome = DownloadResult::Outcome::FolderFailed;
    result.failedFolder = folder;
    result.folderFailure = failure;
}

// The item folder, reported once settled, then a subfolder for each list.
bool createFolders(const DownloadRun &run, const QString &chosen, const QString &itemTitle,
                   std::array<ListPlan, 4> &plans, DownloadResult &result)
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
        failFolder(result, itemRequested, item.failure);
        return false;
    }
    result.itemFolder = item.path;
    for (ListPlan &plan : plans) {
        if (!plan.needsFolder())
            continue;
        const QString requested = joinPath(item.path, plan.subfolder);
        const FolderResult sub = createNewFolder(requested, plan.stemLength);
        if (!sub.ok()) {
            failFolder(result, requested, sub.failure);
            return false;
        }
        plan.folder = sub.path;
    }
    return true;
}

// What the item folder's record says of one picture once its fetch has ended.
ManifestEntry entryOf(const DownloadRun &run, const PictureFile &picture, const FetchResult &fetched,
                      const QString &itemFolder)
{
    ManifestEntry entry;
    entry.list = picture.list;
    entry.number = picture.number;
    entry.address = picture.address;
    entry.name = picture.name;
    entry.target = picture.fileName;
    if (fetched.saved) {
        entry.file = QDir::fromNativeSeparators(QDir(itemFolder).relativeFilePath(picture.fileName));
        entry.bytes = fetched.bytes;
        entry.sha256 = QString::fromLatin1(fetched.sha256);
    } else {
        const auto &failureText = run.options.failureText;
        entry.error = failureText ? failureText(fetched.failure) : unknownFailure();
    }
    return entry;
}

// The batches' pictures, counted into result as they finish, and their records into entries.
// Once stopped, it returns at once and reports nothing more.
QCoro::Task<> fetchBatches(DownloadRun &run, const QList<Batch> &batches, DownloadResult &result,
                           QList<ManifestEntry> &entries)
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
        FetchOptions fetchOptions = run.options.fetch;
        fetchOptions.body = batch.video ? FetchOptions::Body::Video : FetchOptions::Body::Picture;
        FetchQueue queue(manager, fetchOptions, run.options.concurrency);
        run.queue = &queue;
        for (const PictureFile &picture : batch.pictures)
            queue.add(picture.address, picture.fileName);
        while (!queue.isIdle()) {
            const Waited<bool> finished = co_await waits.event([&queue](std::function<void()> finish) {
                QObject::connect(&queue, &FetchQueue::pictureFinished, &queue, std::move(finish),
                                 Qt::SingleShotConnection);
            });
            if (finished.cutShort())
                break;
            progress.done = done + queue.finishedCount();
            run.report(progress);
        }
        run.queue = nullptr;
        const QList<FetchResult> failed = queue.failures();
        result.saved += queue.finishedCount() - static_cast<int>(failed.size());
        result.failures += failed;
        // Stopped while it waited, or by whoever a report went to.
        if (waits.aborted())
            co_return;
        for (qsizetype i = 0; i < batch.pictures.size(); ++i)
            entries.append(entryOf(run, batch.pictures.at(i), queue.results().at(i), result.itemFolder));
        done += queue.finishedCount();
    }
    // Not stopped, neither by a wait cut short nor by whoever the last report went to.
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
        const Waited<QString> answered = co_await run.waits.answer<QString>(
            [&ask, &startFolder](Waits::Reply<QString> reply) { ask(startFolder, std::move(reply)); });
        if (answered.cutShort()) // stopped while the question was open
            co_return result;
        answer = *answered;
    }
    const QString chosen = withoutTrailingSeparator(answer);
    if (chosen.isEmpty() || set.itemTitle.isEmpty()) {
        result.outcome = DownloadResult::Outcome::NotStarted;
        co_return result;
    }
    result.chosenFolder = chosen;
    if (run.options.makeChosenFolder) {
        const FolderResult made = createFolderPath(chosen);
        if (!made.ok()) {
            failFolder(result, chosen, made.failure);
            co_return result;
        }
    }
    const QList<int> *chosenVideos = choice && choice->video ? &*choice->video : nullptr;
    std::array<ListPlan, 4> plans{{
        {set.mainPictures.addresses(), choice ? &choice->main : nullptr, PictureKind::Main,
         QStringLiteral("主图"), 2, QStringLiteral("描述主图")},
        {set.colourPictures.addresses(), choice ? &choice->colour : nullptr, PictureKind::Colour,
         QStringLiteral("颜色图"), 3, QStringLiteral("颜色主图")},
        {set.descriptionPictures.addresses(), choice ? &choice->description : nullptr,
         PictureKind::Description, QStringLiteral("描述图"), 3, QStringLiteral("描述图")},
        {set.videos, chosenVideos, PictureKind::Video, QStringLiteral("视频"), 2, QString()},
    }};
    if (!createFolders(run, chosen, set.itemTitle, plans, result))
        co_return result;

    // Lists go one after the other, in their fixed order. A picture's file takes its slot
    // number, chosen or not, so pictures saved later fit in beside; videos count from 1.
    QList<Batch> batches;
    for (const ListPlan &plan : plans) {
        Batch batch;
        batch.video = plan.kind == PictureKind::Video;
        const int count = static_cast<int>(plan.addresses.size());
        if (count == 0 && !batch.video)
            batch.emptyList = plan.kind;
        for (int n = 0; n < count; ++n) {
            if (plan.chosen && !plan.chosen->contains(n))
                continue;
            const QString &address = plan.addresses.at(n);
            PictureFile picture{address, {}, plan.kind, batch.video ? n + 1 : n};
            picture.fileName = joinPath(
                plan.folder, batch.video ? QString::number(n + 1) + QStringLiteral(".mp4")
                                         : plan.filePrefix + QString::number(n) + pictureFileTail(address));
            if (plan.kind == PictureKind::Colour)
                picture.name = colourNameAt(set, n);
            batch.pictures.append(picture);
        }
        result.total += static_cast<int>(batch.pictures.size());
        batches.append(batch);
    }
    result.manifest.address = set.address;
    result.manifest.pageAddress = set.pageAddress;
    result.manifest.title = set.itemTitle;
    result.manifest.collected = set.collectedAt.isValid() ? set.collectedAt : QDateTime::currentDateTimeUtc();
    result.manifest.simplified = set.simplified;
    co_await fetchBatches(run, batches, result, result.manifest.pictures);
    co_return result;
}

// Whether two entries of a record are of the same picture: its list and its number.
bool samePicture(const ManifestEntry &a, const ManifestEntry &b)
{
    return a.list == b.list && a.number == b.number;
}

// The record a retry updates: the folder's own when it names the same item (it may be newer
// than the plan's, after another retry), else the plan's.
ItemManifest manifestToUpdate(const RetryPlan &plan)
{
    const std::optional<ItemManifest> onDisk = readManifest(plan.itemFolder);
    if (!onDisk || onDisk->address != plan.manifest.address)
        return plan.manifest;
    ItemManifest manifest = *onDisk;
    for (ManifestEntry &entry : manifest.pictures) {
        for (const ManifestEntry &planned : plan.manifest.pictures) {
            if (samePicture(planned, entry))
                entry.target = planned.target;
        }
    }
    return manifest;
}

void updateManifest(ItemManifest &manifest, const QString &itemFolder, const QList<ManifestEntry> &fetched)
{
    for (const ManifestEntry &update : fetched) {
        const auto entry = std::find_if(manifest.pictures.begin(), manifest.pictures.end(),
                                        [&update](const ManifestEntry &e) { return samePicture(e, update); });
        if (entry == manifest.pictures.end()) {
            manifest.pictures.append(update);
            continue;
        }
        // A file saved by an earlier retry stays listed, whatever a later one met.
        if (!update.saved() && entry->saved() && QFileInfo::exists(joinPath(itemFolder, entry->file)))
            continue;
        *entry = update;
    }
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
            failFolder(result, folder, made.failure);
            co_return result;
        }
    }
    QList<Batch> batches;
    for (const PictureFile &picture : plan.pictures) {
        const bool video = picture.list == PictureKind::Video;
        if (batches.isEmpty() || batches.last().video != video)
            batches.append(Batch{{}, std::nullopt, video});
        batches.last().pictures.append(picture);
    }
    QList<ManifestEntry> fetched;
    co_await fetchBatches(run, batches, result, fetched);
    if (result.outcome == DownloadResult::Outcome::Done) {
        result.manifest = manifestToUpdate(plan);
        updateManifest(result.manifest, plan.itemFolder, fetched);
    }
    co_return result;
}

// After the pictures, so the record tells what is there.
void writeRecord(DownloadResult &result)
{
    if (result.outcome != DownloadResult::Outcome::Done || result.itemFolderRemoved ||
        result.itemFolder.isEmpty())
        return;
    result.manifestFile = joinPath(result.itemFolder, manifestFileName());
    result.manifestFailure = writeManifest(result.itemFolder, result.manifest);
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

RetryPlan retryPlanOf(const DownloadResult &result)
{
    RetryPlan plan{result.itemFolder, {}, result.manifest};
    for (const ManifestEntry &entry : result.manifest.pictures) {
        if (!entry.saved() && !entry.target.isEmpty())
            plan.pictures.append({entry.address, entry.target, entry.list, entry.number, entry.name});
    }
    return plan;
}

DownloadCommand::DownloadCommand(EventLoop &loop, DownloadOptions options)
    : m_loop(loop), m_options(std::move(options))
{
}

DownloadCommand::~DownloadCommand()
{
    // The running procedure returns from the event loop, reading only its own frame; also one
    // stopped before that has not yet returned.
    if (!m_run)
        return;
    m_run->commandGone = true;
    if (m_run->queue)
        m_run->queue->abortAll();
    m_run->waits.abort();
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
    writeRecord(result);
    result.cancelled = run.cancelled;
    co_return result;
}

} // namespace talvesk
