// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"
#include "download/PictureFetch.h"
#include "platform/MessageList.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <memory>

namespace talvesk {

class Dialogs;
class FetchQueue;
class WindowControls;

struct DownloadOptions
{
    int concurrency = 6; // pictures of one list fetched at a time
    QString startFolder; // where the folder dialog opens
    FetchOptions fetch;
};

// How a download ended. The default means it did not get to its end.
struct DownloadResult
{
    enum class Outcome {
        Unfinished,   // stopped before its end (the program closed, or the user cancelled it)
        NotStarted,   // the folder dialog was cancelled or nothing had been collected
        FolderFailed, // a folder could not be created; nothing was fetched
        Done,         // every list went through; `failed` of `total` pictures were not saved
    };

    Outcome outcome = Outcome::Unfinished;
    int total = 0;
    int failed = 0;
    QString itemFolder;
    QString folderError; // the folder that could not be created and why
};

// The download button: saves a collected set into a new item folder with one subfolder per
// list, reporting progress on a message line of its own. It runs on signals, never inside a
// nested event loop, so downloads side by side (or a collect during one) each go on at
// their own pace and never write over each other's lines.
class DownloadCommand final : public QObject
{
    Q_OBJECT

public:
    DownloadCommand(WindowControls &window, Dialogs &dialogs, MessageList &messages,
                    const DownloadOptions &options = {}, QObject *parent = nullptr);
    ~DownloadCommand() override;

    // Asks for the folder, creates the item folder and starts fetching a copy of the set, taken
    // now: a collect run meanwhile cannot mix two items' pictures. finished() is emitted once,
    // possibly before start() returns (cancelled, nothing collected, no folder).
    void start(const CollectedSet &collected);
    // Stops every fetch at once; nothing half-written stays on disk.
    void abort();
    // The user's stop, offered on the progress line: as abort(), and a line says how many
    // pictures were saved before it.
    void cancel();

    bool isRunning() const { return m_running; }
    const DownloadResult &result() const { return m_result; }

Q_SIGNALS:
    void progressChanged(int percent);
    void finished();

private:
    struct ListPlan
    {
        const PictureList *list;
        QString subfolder;
        int fnlength;
        QString filePrefix;
        QString emptyMessage;
        QString folder = {}; // the subfolder as created
    };

    bool createFolders(const QString &chosen);
    void fetchNextList();
    void handlePictureFinished();
    void showProgress();
    void finishDone();
    int savedCount() const;
    MessageLine reportOnItemFolder(const QString &text);
    void finish(DownloadResult::Outcome outcome);

    WindowControls &m_window;
    Dialogs &m_dialogs;
    MessageList &m_messages;
    const DownloadOptions m_options;

    CollectedSet m_set;
    std::array<ListPlan, 3> m_plans;
    DownloadResult m_result;
    QNetworkAccessManager *m_manager = nullptr; // one for the run, so connections are kept alive
    std::unique_ptr<FetchQueue> m_queue;        // the list being fetched
    std::size_t m_list = 0;
    int m_done = 0; // pictures of the lists before the current one
    QList<FetchResult> m_failures;
    MessageLine m_progressLine = 0;
    bool m_running = false;
};

} // namespace talvesk
