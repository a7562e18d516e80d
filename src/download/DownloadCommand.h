#pragma once

#include "download/PicSaver.h"

#include <QString>

namespace talvesk {

struct CollectedSet;
class Dialogs;
class EventLoop;
class MessageList;
class WindowControls;

struct DownloadOptions
{
    int concurrency = 6; // pictures of one list fetched at a time
    FetchOptions fetch;
};

// How a download ended. The default means it did not get to its end.
struct DownloadResult
{
    enum class Outcome {
        Unfinished,   // the program closed during the download
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

// DownLoad_Click: saves a collected set into a new item folder with one subfolder per list,
// reporting progress in the message list. Waits for the network only by yielding to the
// event loop, so the window stays responsive.
class DownloadCommand final
{
public:
    DownloadCommand(WindowControls &window, Dialogs &dialogs, MessageList &messages, EventLoop &loop,
                    const DownloadOptions &options = {});

    // Works on a copy of the set taken at the start, so a collect run during the download's
    // yields cannot mix two items' pictures.
    DownloadResult run(const CollectedSet &collected);

private:
    WindowControls &m_window;
    Dialogs &m_dialogs;
    MessageList &m_messages;
    EventLoop &m_loop;
    const DownloadOptions m_options;
};

} // namespace talvesk
