// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "download/DownloadCommand.h"
#include "platform/MessageList.h"

#include <QString>

#include <functional>

namespace talvesk {

class Dialogs;

// Asks the user for the save folder through the dialogs, for DownloadOptions::askSaveFolder.
std::function<void(const QString &, std::function<void(QString)>)> saveFolderQuestion(Dialogs &dialogs);

// "无法创建文件夹:folder,原因:why" of a download that ended FolderFailed.
QString folderFailureLine(const DownloadResult &result);
// "清单保存失败:file,原因:why" of a download whose record (talvesk.json) could not be written.
QString manifestFailureLine(const DownloadResult &result);

// Shows one download as the user reads it, in the window's message list or on the terminal:
// its progress line, the notices of lists with nothing collected, and how it ended, with the
// folder it saved to tied to its lines.
class DownloadLines final
{
public:
    // Where the notices of lists with nothing collected go: to the dialogs' message (the
    // terminal writes it aside) or into the list as lines of their own (the window, which keeps
    // boxes for questions).
    enum class Notices { Dialogs, Lines };

    // cancel, when set, is offered on the progress line while the download runs; retry, when
    // set, on the failure count at its end. Both may run for as long as the list is there.
    DownloadLines(MessageList &messages, Dialogs &dialogs, std::function<void()> cancel = {},
                  std::function<void(const RetryPlan &)> retry = {}, Notices notices = Notices::Dialogs);

    void show(const DownloadProgress &progress);
    void showEnd(const DownloadResult &result);

private:
    void showDone(const DownloadResult &result);
    void showStopped(const DownloadResult &result);
    MessageLine lineOnFolder(const QString &text, const QString &folder);

    MessageList &m_messages;
    Dialogs &m_dialogs;
    std::function<void()> m_cancel;
    std::function<void(const RetryPlan &)> m_retry;
    Notices m_notices;
    MessageLine m_progressLine = 0;
    QString m_madeItemFolder; // the item folder this download made, once it has
};

} // namespace talvesk
