// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"
#include "download/FolderCreation.h"
#include "download/ItemManifest.h"
#include "download/PictureFetch.h"

#include <QList>
#include <QString>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

namespace talvesk {

class DownloadRun;
class EventLoop;

// One picture to save: where it comes from and the file it goes to, with what the item
// folder's record says of it.
struct PictureFile
{
    QString address;
    QString fileName;
    PictureKind list = PictureKind::Main;
    int number = 0;
    QString name = {}; // Colour: the variant's name
};

// The pictures of a collected set chosen to be saved: slots of each list, in slot order.
struct PictureChoice
{
    QList<int> main;
    QList<int> colour;
    QList<int> description;
    // Of the main videos, by place from 0; none given: every one.
    std::optional<QList<int>> video = std::nullopt;

    bool isEmpty() const
    {
        return main.isEmpty() && colour.isEmpty() && description.isEmpty() && (!video || video->isEmpty());
    }
};

// Pictures that failed, to be fetched again into the files they were meant for.
struct RetryPlan
{
    QString itemFolder;
    QList<PictureFile> pictures;
    // The item folder's record as the download left it; the retry updates it. When the one in
    // the folder names the same item, that one is updated instead.
    ItemManifest manifest = {};
};

// What a running download reports as it goes, one step at a time.
struct DownloadProgress
{
    enum class Step {
        ItemFolder, // the item folder was made (itemFolder), or could not be (itemFolder empty)
        EmptyList,  // `list` had nothing collected: said where its pictures would have come
        Pictures,   // `done` of `total` pictures have finished, saved or not; first with done 0
    };

    Step step = Step::Pictures;
    QString itemFolder;
    QString shortenedName; // ItemFolder: the name the title was cut to; empty when it fit
    PictureKind list = PictureKind::Main;
    int done = 0;
    int total = 0;
};

struct DownloadOptions
{
    int concurrency = 6; // pictures of one list fetched at a time
    QString startFolder; // where the folder question starts
    // Asks where to save, starting at startFolder (native separators); `answer` runs once, at
    // once or later, with the folder chosen or the empty text for none. Unset: nothing is saved.
    std::function<void(const QString &startFolder, std::function<void(QString)> answer)> askSaveFolder;
    // Called at each step of a run, never after the run was stopped (abort, cancel, the
    // command going).
    std::function<void(const DownloadProgress &)> progress;
    bool makeChosenFolder = false; // a chosen folder that does not exist is made, with its parents
    // A download that saved nothing keeps the item folder it made and ends as any other: for a
    // caller that names the folder to others (the command line prints it).
    bool keepFolderWhenNothingSaved = false;
    // How the item folder's record says why a picture was not saved: in the front end's words,
    // as its lines say it. Unset: it says only that the reason is not known.
    std::function<QString(const FetchFailure &)> failureText;
    FetchOptions fetch;
};

// How a download ended. The default means it did not get to its end.
struct DownloadResult
{
    enum class Outcome {
        Unfinished,   // stopped before its end: aborted, cancelled by the user, or the program closed
        NotStarted,   // no folder was chosen, or nothing had been collected
        FolderFailed, // a folder could not be created; nothing was fetched
        Done,         // every list went through; `failures` of `total` pictures were not saved
    };

    Outcome outcome = Outcome::Unfinished;
    bool cancelled = false; // stopped by cancel()
    int total = 0;          // pictures of the set
    int saved = 0;          // pictures saved, also of a download stopped before its end
    // The pictures not saved, in the order of the lists: each with its file and why. Of a
    // download stopped before its end, those that failed until then.
    QList<FetchResult> failures;
    QString chosenFolder; // the folder chosen for it, when one was
    QString itemFolder;
    bool itemFolderRemoved = false; // nothing was saved, so the item folder went again
    QString failedFolder;           // FolderFailed: the folder that could not be created
    FolderFailure folderFailure;    // and why
    // Done: the item folder's record (talvesk.json), written after the pictures; when it could
    // not be, where and why (the system's words).
    ItemManifest manifest;
    QString manifestFile;
    QString manifestFailure;
};

// The pictures of a download that were not saved, to be fetched again.
RetryPlan retryPlanOf(const DownloadResult &result);

// The download button's work: saves a collected set into a new item folder with one subfolder
// per list. It runs as a coroutine on the network and the event loop only: it asks for the
// folder and awaits the answer, reports its steps through DownloadOptions::progress, and
// returns the whole result; showing any of it is the caller's. Downloads side by side (or a
// collect during one) each go on at their own pace.
class DownloadCommand final
{
public:
    DownloadCommand(EventLoop &loop, DownloadOptions options);
    // A download still running ends at once, leaving no partial file; it reports nothing more.
    ~DownloadCommand();
    DownloadCommand(const DownloadCommand &) = delete;
    DownloadCommand &operator=(const DownloadCommand &) = delete;

    // Asks for the folder, creates the item folder and saves the set, a copy taken now: a
    // collect run meanwhile cannot mix two items' pictures. One run at a time; the command
    // outlives the returned task, or ends it by going.
    // Only the chosen pictures when a choice is given; each keeps the file name it would have
    // had among all of them.
    QCoro::Task<DownloadResult> run(CollectedSet set, std::optional<PictureChoice> choice = std::nullopt);
    // Fetches the pictures again into their files, without asking anything; a download of its own.
    QCoro::Task<DownloadResult> retry(RetryPlan plan);
    // Stops every fetch at once, leaving no partial file; the run then ends Unfinished, from
    // the event loop.
    void abort();
    // The user's stop: as abort(), and the result says it was cancelled.
    void cancel();

private:
    QCoro::Task<DownloadResult> runOne(CollectedSet set, std::optional<PictureChoice> choice,
                                       std::optional<RetryPlan> retry);

    EventLoop &m_loop;
    const DownloadOptions m_options;
    DownloadRun *m_run = nullptr; // in the running procedure's frame, until it returns
};

} // namespace talvesk
