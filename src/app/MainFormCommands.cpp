// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainFormCommands.h"

#include "app/CollectLines.h"
#include "app/MainForm.h"
#include "app/WindowMemory.h"
#include "collect/CollectMessages.h"
#include "download/DownloadCommand.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>

namespace talvesk {

namespace {

QString nothingToDownload()
{
    return QStringLiteral("没有可下载的图片");
}

} // namespace

MainFormCommands::MainFormCommands(MainForm &window)
    : m_window(window), m_collect(window.itemBrowser(), window.previewBrowser(), window.descriptionBrowser(),
                                  window.eventLoop())
{
    connect(&window, &MainForm::collectRequested, this, &MainFormCommands::collect);
    connect(&window, &MainForm::userNavigated, this, [this] { m_collect.abort(CollectAbort::Navigated); });
    connect(&window, &MainForm::stopRequested, this, [this] { m_collect.abort(CollectAbort::Stopped); });
    connect(&window, &MainForm::downloadRequested, this, &MainFormCommands::handleDownloadRequested);
    window.installEventFilter(this);
}

MainFormCommands::~MainFormCommands()
{
    m_collect.abort(CollectAbort::Closing);
    // Whatever still runs stops without leaving a partial file.
    for (DownloadCommand *download : QList<DownloadCommand *>(m_downloads))
        download->abort();
}

// The collect's line from its first report on, on the page's tab; the window takes no input
// while the classic blocks are read.
void MainFormCommands::collect(const QString &address)
{
    auto lines = std::make_shared<CollectLines>(m_window.messages());
    const auto report = [this, lines](const CollectProgress &progress) {
        if (!lines->started())
            m_window.selectTab(WindowControls::Tab::Browse);
        m_window.setWindowEnabled(progress.phase != CollectProgress::Phase::ReadingBlocks);
        lines->showProgress(progress);
    };
    QCoro::connect(m_collect.run(address, report), this,
                   [this, lines](const CollectResult &result) { showCollected(*lines, result); });
}

// What a collect that ran to its end leaves for the downloads: its set, or a cleared one, and
// then the preview no longer shows the set before it.
void MainFormCommands::showCollected(CollectLines &lines, const CollectResult &result)
{
    if (result.status == CollectResult::Status::Closing)
        return; // the window may be going
    m_window.setWindowEnabled(true);
    lines.showResult(result);
    switch (result.status) {
    case CollectResult::Status::Collected:
        m_set = result.set;
        m_window.selectTab(WindowControls::Tab::Preview);
        m_window.addPictureChoices(result.counts);
        break;
    case CollectResult::Status::Failed:
    case CollectResult::Status::Blocked:
        m_set = result.set;
        m_window.showPreviewNotice(result.errorString);
        break;
    case CollectResult::Status::Refused:
    case CollectResult::Status::Stopped:
    case CollectResult::Status::Closing:
        break;
    }
}

void MainFormCommands::handleDownloadRequested()
{
    // A download started now would read the set while the collect clears and refills it.
    if (m_collect.isRunning()) {
        m_window.messages().insertLine(CollectMessages::downloadBusy());
        return;
    }
    // Nothing collected, or a failed collect since: nothing to ask a folder for.
    if (m_set.itemTitle.isEmpty() || countPictures(m_set) == 0) {
        m_window.messages().insertLine(nothingToDownload());
        return;
    }
    // The ticks are read from the preview, which answers from the event loop; the set is the
    // one shown at the press.
    m_window.readPictureChoice(
        [commands = QPointer(this), set = m_set](const std::optional<PictureChoice> &choice) {
            if (commands)
                commands->downloadChosen(set, choice);
        });
}

void MainFormCommands::downloadChosen(const CollectedSet &set, const std::optional<PictureChoice> &choice)
{
    if (m_collect.isRunning()) {
        m_window.messages().insertLine(CollectMessages::downloadBusy());
        return;
    }
    if (choice && choice->isEmpty()) {
        m_window.messages().insertLine(nothingToDownload());
        return;
    }
    DownloadCommand *download = startDownload();
    QCoro::connect(download->run(set, choice), this, [this, download](const DownloadResult &result) {
        handleDownloadFinished(download, result);
    });
}

void MainFormCommands::retryFailures(const RetryPlan &plan)
{
    DownloadCommand *download = startDownload();
    QCoro::connect(download->retry(plan), this, [this, download](const DownloadResult &result) {
        handleDownloadFinished(download, result);
    });
}

// A download command the progress bar follows until it ends.
DownloadCommand *MainFormCommands::startDownload()
{
    DownloadOptions options;
    // Where the last download went, while it is there; otherwise where the program runs.
    const QString kept = m_window.memory().saveFolder();
    options.startFolder = !kept.isEmpty() && QFileInfo(kept).isDir() ? kept : QDir::currentPath();
    options.retry = [commands = QPointer(this)](const RetryPlan &plan) {
        if (commands)
            commands->retryFailures(plan);
    };
    auto *download = new DownloadCommand(m_window, m_window.dialogs(), m_window.messages(),
                                         m_window.eventLoop(), options, this);
    m_downloads.append(download);
    m_percents.append(0);
    m_window.setProgressHeld(true);
    connect(download, &DownloadCommand::progressChanged, this,
            [this, download](int percent) { showProgress(download, percent); });
    return download;
}

void MainFormCommands::showProgress(DownloadCommand *download, int percent)
{
    const qsizetype at = m_downloads.indexOf(download);
    if (at < 0)
        return;
    m_percents[at] = percent;
    if (at == m_downloads.size() - 1)
        m_window.setProgress(percent);
}

void MainFormCommands::handleDownloadFinished(DownloadCommand *download, const DownloadResult &result)
{
    if (!result.chosenFolder.isEmpty())
        m_window.memory().setSaveFolder(result.chosenFolder);
    const qsizetype at = m_downloads.indexOf(download);
    if (at < 0)
        return;
    const bool wasShown = at == m_downloads.size() - 1;
    m_downloads.removeAt(at);
    m_percents.removeAt(at);
    if (m_downloads.isEmpty())
        m_window.setProgressHeld(false);
    else if (wasShown)
        m_window.setProgress(m_percents.last());
    download->deleteLater();
}

bool MainFormCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && event->type() == QEvent::Close) {
        if (!mayClose()) {
            event->ignore();
            return true;
        }
        // The window may go at once: the collect ends now, without a word.
        m_collect.abort(CollectAbort::Closing);
    }
    return QObject::eventFilter(watched, event);
}

// Closing during a download asks first; on yes the downloads stop, leaving no partial file.
bool MainFormCommands::mayClose()
{
    if (m_downloads.isEmpty())
        return true;
    if (!m_window.dialogs().ask(QStringLiteral("图片下载正在进行,确定要退出吗?"), QStringLiteral("下载提示")))
        return false;
    for (DownloadCommand *download : QList<DownloadCommand *>(m_downloads))
        download->abort();
    return true;
}

} // namespace talvesk
