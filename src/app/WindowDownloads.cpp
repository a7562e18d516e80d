// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowDownloads.h"

#include "app/DownloadLines.h"
#include "app/DownloadWords.h"
#include "app/MainForm.h"
#include "app/WindowMemory.h"
#include "download/DownloadCommand.h"
#include "download/DownloadText.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace talvesk {

struct WindowDownloads::Record
{
    Record(quint64 recordId, DownloadLines downloadLines) : id(recordId), lines(std::move(downloadLines)) {}

    const quint64 id;
    DownloadLines lines;
    std::unique_ptr<DownloadCommand> command; // goes first, reporting nothing more
    int percent = 0;
    bool progressShown = false;
};

WindowDownloads::WindowDownloads(MainForm &window) : m_window(window)
{
}

WindowDownloads::~WindowDownloads() = default;

void WindowDownloads::download(const CollectedSet &set, const std::optional<PictureChoice> &choice)
{
    Record &record = start();
    m_window.selectTab(MainForm::Tab::Preview);
    QCoro::connect(record.command->run(set, choice), this,
                   [this, id = record.id](const DownloadResult &result) { finish(id, result); });
}

void WindowDownloads::retry(const RetryPlan &plan)
{
    Record &record = start();
    QCoro::connect(record.command->retry(plan), this,
                   [this, id = record.id](const DownloadResult &result) { finish(id, result); });
}

WindowDownloads::Record &WindowDownloads::start()
{
    const quint64 id = ++m_lastId;
    const QPointer<WindowDownloads> self(this);
    auto cancel = [self, id] {
        if (Record *record = self ? self->find(id) : nullptr)
            record->command->cancel();
    };
    auto retry = [self](const RetryPlan &plan) {
        if (self)
            self->retry(plan);
    };
    auto record = std::make_unique<Record>(id, DownloadLines(m_window.messages(), m_window.dialogs(), cancel,
                                                             retry, DownloadLines::Notices::Lines));

    DownloadOptions options;
    // Where the last download went, while it is there; otherwise where the program runs.
    const QString kept = m_window.memory().saveFolder();
    options.startFolder = !kept.isEmpty() && QFileInfo(kept).isDir() ? kept : QDir::currentPath();
    options.askSaveFolder = saveFolderQuestion(m_window.dialogs());
    options.failureText = fetchFailureText;
    // The command reports only while it runs, so while its record is there.
    options.progress = [this, shown = record.get()](const DownloadProgress &progress) {
        show(*shown, progress);
    };
    record->command = std::make_unique<DownloadCommand>(m_window.eventLoop(), std::move(options));
    m_records.push_back(std::move(record));
    m_closeAllowed = false;
    m_window.setProgressHeld(true);
    return *m_records.back();
}

void WindowDownloads::show(Record &record, const DownloadProgress &progress)
{
    record.lines.show(progress);
    if (progress.step != DownloadProgress::Step::Pictures)
        return;
    record.percent = progressPercent(progress.done, progress.total);
    record.progressShown = true;
    if (isShown(record))
        m_window.setProgress(record.percent);
}

void WindowDownloads::finish(quint64 id, const DownloadResult &result)
{
    Record *record = find(id);
    if (!record)
        return;
    if (!result.chosenFolder.isEmpty())
        m_window.memory().setSaveFolder(result.chosenFolder);
    record->lines.showEnd(result);
    const bool wasShown = isShown(*record);
    // A stopped download's bar stands where its line does.
    if (wasShown && record->progressShown && result.outcome == DownloadResult::Outcome::Unfinished)
        m_window.setProgress(
            progressPercent(result.saved + static_cast<int>(result.failures.size()), result.total));
    m_records.erase(std::find_if(m_records.begin(), m_records.end(),
                                 [record](const std::unique_ptr<Record> &r) { return r.get() == record; }));
    if (m_records.empty())
        m_window.setProgressHeld(false);
    else if (wasShown)
        m_window.setProgress(m_records.back()->percent);
}

void WindowDownloads::stopAll()
{
    for (const std::unique_ptr<Record> &record : m_records)
        record->command->abort();
}

// Closing during a download asks first; on yes the downloads stop, leaving no partial file.
bool WindowDownloads::mayClose()
{
    if (m_records.empty() || m_closeAllowed)
        return true;
    if (!m_asking) { // a second press while the box is open opens no second box
        m_asking = true;
        m_window.dialogs().ask(QStringLiteral("图片下载正在进行,确定要退出吗?"), QStringLiteral("下载提示"),
                               [self = QPointer(this)](bool yes) {
                                   if (self)
                                       self->answerClose(yes);
                               });
    }
    return false;
}

void WindowDownloads::answerClose(bool yes)
{
    m_asking = false;
    if (!yes)
        return;
    stopAll();
    m_closeAllowed = true;
    // The close held back happens now, from the event loop: the answer may come inside it.
    QMetaObject::invokeMethod(
        &m_window, [window = &m_window] { window->close(); }, Qt::QueuedConnection);
}

WindowDownloads::Record *WindowDownloads::find(quint64 id) const
{
    const auto found = std::find_if(m_records.begin(), m_records.end(),
                                    [id](const std::unique_ptr<Record> &record) { return record->id == id; });
    return found == m_records.end() ? nullptr : found->get();
}

bool WindowDownloads::isShown(const Record &record) const
{
    return !m_records.empty() && m_records.back().get() == &record;
}

} // namespace talvesk
