// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainFormCommands.h"

#include "app/CollectLines.h"
#include "app/CollectMessages.h"
#include "app/MainForm.h"
#include "app/PictureChoiceModel.h"
#include "app/PreviewPage.h"
#include "download/DownloadCommand.h"
#include "platform/PageBrowser.h"

#include <QDateTime>
#include <QEvent>

namespace talvesk {

namespace {

QString nothingToDownload()
{
    return QStringLiteral("没有可下载的图片");
}

} // namespace

MainFormCommands::MainFormCommands(MainForm &window)
    : m_window(window), m_collect(window.itemBrowser(), window.descriptionBrowser(), window.eventLoop()),
      m_downloads(window)
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
}

// The collect's line from its first report on, on the page's tab; the window takes no input
// while the classic blocks are read.
void MainFormCommands::collect(const QString &address)
{
    // The last description document's page has not let go of it (a handler for leaving it
    // that never returns holds its renderer): the next document gets a fresh page.
    if (!m_collect.isRunning() &&
        m_window.descriptionBrowser().loadState() == PageBrowser::LoadState::Loading)
        m_collect.setDescriptionBrowser(m_window.replaceDescriptionBrowser());
    auto lines = std::make_shared<CollectLines>(m_window.messages());
    const auto report = [this, lines](const CollectProgress &progress) {
        if (!lines->started())
            m_window.selectTab(MainForm::Tab::Browse);
        m_window.setWindowEnabled(progress.phase != CollectProgress::Phase::ReadingBlocks);
        lines->showProgress(progress);
    };
    QCoro::connect(m_collect.run(address, report), this, [this, lines, address](CollectResult result) {
        if (!result.ok()) {
            showCollected(*lines, result);
            return;
        }
        result.set.address = address;
        result.set.pageAddress = m_window.itemBrowser().address().toString();
        result.set.collectedAt = QDateTime::currentDateTimeUtc();
        showPreview(lines, std::move(result));
    });
}

void MainFormCommands::showPreview(std::shared_ptr<CollectLines> lines, CollectResult result)
{
    const int preview = ++m_previews;
    ++m_previewsWriting;
    auto writing =
        writePreviewPage(m_window.previewBrowser(), m_window.eventLoop(), result.set, result.set.address);
    QCoro::connect(std::move(writing), this,
                   [this, lines, preview, result = std::move(result)](const PreviewResult &written) {
                       --m_previewsWriting;
                       if (preview != m_previews)
                           return; // a later collect shows its own
                       if (written.ok()) {
                           showCollected(*lines, result);
                           return;
                       }
                       m_window.setWindowEnabled(true);
                       const QString failure = CollectMessages::previewFailed(written.errorString);
                       m_window.messages().insertLine(failure);
                       showNothingCollected(failure);
                   });
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
        m_window.choices().reset(m_set);
        m_window.selectTab(MainForm::Tab::Preview);
        m_window.showPictureChoices();
        break;
    case CollectResult::Status::Failed:
    case CollectResult::Status::Blocked:
        showNothingCollected(CollectMessages::failure(result));
        break;
    case CollectResult::Status::Refused:
    case CollectResult::Status::Stopped:
    case CollectResult::Status::Closing:
        break;
    }
}

void MainFormCommands::showNothingCollected(const QString &failure)
{
    m_set = CollectedSet();
    m_window.choices().clear();
    m_window.showPreviewNotice(failure);
}

void MainFormCommands::handleDownloadRequested()
{
    // A download started now would read the set while the collect clears and refills it, or
    // the set before the one whose preview is being written.
    if (m_collect.isRunning() || m_previewsWriting > 0) {
        m_window.messages().insertLine(CollectMessages::downloadBusy());
        return;
    }
    // Nothing collected, or a failed collect since: nothing to ask a folder for.
    if (m_set.itemTitle.isEmpty() || countPictures(m_set) == 0) {
        m_window.messages().insertLine(nothingToDownload());
        return;
    }
    // The window's choice, whatever the preview shows now.
    const PictureChoice choice = m_window.choices().choice();
    if (choice.isEmpty()) {
        m_window.messages().insertLine(nothingToDownload());
        return;
    }
    m_downloads.download(m_set, choice);
}

bool MainFormCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && event->type() == QEvent::Close) {
        if (!m_downloads.mayClose()) {
            event->ignore();
            return true;
        }
        // The window may go at once: the collect ends now, without a word.
        m_collect.abort(CollectAbort::Closing);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace talvesk
