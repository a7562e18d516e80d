// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"
#include "download/PictureFetch.h"
#include "platform/MessageList.h"

#include <QList>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <array>
#include <functional>
#include <optional>

namespace talvesk {

class Dialogs;
class EventLoop;
class FetchQueue;
class Waits;
class WindowControls;

// One picture to save: where it comes from and the file it goes to.
struct PictureFile
{
    QString address;
    QString fileName;
};

// The pictures of a collected set chosen to be saved: slots of each list, in slot order.
struct PictureChoice
{
    QList<int> main;
    QList<int> colour;
    QList<int> description;

    bool isEmpty() const { return main.isEmpty() && colour.isEmpty() && description.isEmpty(); }
};

// Pictures that failed, to be fetched again into the files they were meant for.
struct RetryPlan
{
    QString itemFolder;
    QList<PictureFile> pictures;
};

struct DownloadOptions
{
    int concurrency = 6;           // pictures of one list fetched at a time
    QString startFolder;           // where the folder dialog opens
    bool makeChosenFolder = false; // a chosen folder that does not exist is made, with its parents
    // A download that saved nothing keeps the item folder it made and ends as any other: for a
    // caller that names the folder to others (the command line prints it).
    bool keepFolderWhenNothingSaved = false;
    FetchOptions fetch;
    // Set: a download with failures offers, on its failure count, to fetch them again through this.
    std::function<void(const RetryPlan &)> retry;
};

// How a download ended. The default means it did not get to its end.
struct DownloadResult
{
    enum class Outcome {
        Unfinished,   // stopped before its end: aborted, cancelled by the user, or the program closed
        NotStarted,   // the folder dialog was cancelled or nothing had been collected
        FolderFailed, // a folder could not be created; nothing was fetched
        Done,         // every list went through; `failed` of `total` pictures were not saved
    };

    Outcome outcome = Outcome::Unfinished;
    int total = 0;        // pictures of the set
    int saved = 0;        // pictures saved, also of a download stopped before its end
    int failed = 0;       // pictures that could not be saved
    QString chosenFolder; // the folder chosen for it, when one was
    QString itemFolder;
    bool itemFolderRemoved = false; // nothing was saved, so the item folder went again
    QString folderError;            // the folder that could not be created and why
};

// The download button: saves a collected set into a new item folder with one subfolder per
// list, reporting progress on a message line of its own. It runs as a coroutine: every wait
// returns to the event loop, so downloads side by side (or a collect during one) each go on at
// their own pace and never write over each other's lines.
class DownloadCommand final : public QObject
{
    Q_OBJECT

public:
    DownloadCommand(WindowControls &window, Dialogs &dialogs, MessageList &messages, EventLoop &loop,
                    const DownloadOptions &options = {}, QObject *parent = nullptr);
    // A download still running ends at once, leaving no partial file.
    ~DownloadCommand() override;

    // Asks for the folder, creates the item folder and saves the set, a copy taken now: a
    // collect run meanwhile cannot mix two items' pictures. One run at a time; the command
    // outlives the returned task, or ends it by going.
    // Only the chosen pictures when a choice is given; each keeps the file name it would have
    // had among all of them.
    QCoro::Task<DownloadResult> run(CollectedSet set, std::optional<PictureChoice> choice = std::nullopt);
    // Fetches the pictures again into their files, without asking anything; reported as a
    // download of its own.
    QCoro::Task<DownloadResult> retry(RetryPlan plan);
    // Stops every fetch at once, leaving no partial file; the run then ends Unfinished, from
    // the event loop.
    void abort();
    // The user's stop, offered on the progress line: as abort(), and a line says how many
    // pictures were saved before it.
    void cancel();

Q_SIGNALS:
    void progressChanged(int percent);

private:
    struct ListPlan
    {
        const PictureList *list;
        const QList<int> *chosen; // nullptr: every picture
        QString subfolder;
        int stemLength;
        QString filePrefix;
        QString emptyMessage;
        QString folder = {}; // the subfolder as created
    };

    // Pictures fetched one batch after the other; an empty batch may carry a notice.
    struct Batch
    {
        QList<PictureFile> pictures;
        QString emptyNotice;
    };

    QCoro::Task<DownloadResult> runOne(CollectedSet set, std::optional<PictureChoice> choice,
                                       std::optional<RetryPlan> retry);
    QCoro::Task<DownloadResult> download(Waits &waits, const CollectedSet &set,
                                         const std::optional<PictureChoice> &choice);
    QCoro::Task<DownloadResult> fetchAgain(Waits &waits, const RetryPlan &plan);
    // The batches' pictures; the failures among them. result counts what was saved.
    QCoro::Task<QList<FetchResult>> fetch(Waits &waits, const QList<Batch> &batches, DownloadResult &result);
    void reportEnd(DownloadResult &result, const QList<FetchResult> &failures);
    bool createFolders(const QString &chosen, const QString &itemTitle, std::array<ListPlan, 3> &plans,
                       DownloadResult &result);
    void showProgress(int done, int total);
    void removeIfNothingSaved(DownloadResult &result);
    MessageLine reportOnItemFolder(const QString &text, const QString &itemFolder);

    WindowControls &m_window;
    Dialogs &m_dialogs;
    MessageList &m_messages;
    EventLoop &m_loop;
    const DownloadOptions m_options;

    Waits *m_waits = nullptr;      // the running download's
    FetchQueue *m_queue = nullptr; // the list being fetched
    MessageLine m_progressLine = 0;
    bool m_cancelled = false;
};

} // namespace talvesk
