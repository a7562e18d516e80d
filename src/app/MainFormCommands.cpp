// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainFormCommands.h"

#include "app/MainForm.h"
#include "collect/CollectMessages.h"
#include "download/DownloadCommand.h"

#include <QEvent>
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
                                  window, window.messages(), window.eventLoop()),
      m_downloads(window)
{
    // The collect shows what it does itself; the window keeps the set it returns.
    connect(&window, &MainForm::collectRequested, this, [this](const QString &address) {
        QCoro::connect(m_collect.run(address), this,
                       [this](const CollectResult &result) { keepSet(result); });
    });
    connect(&window, &MainForm::userNavigated, this, [this] { m_collect.abort(CollectAbort::Navigated); });
    connect(&window, &MainForm::stopRequested, this, [this] { m_collect.abort(CollectAbort::Stopped); });
    connect(&window, &MainForm::downloadRequested, this, &MainFormCommands::handleDownloadRequested);
    window.installEventFilter(this);
}

MainFormCommands::~MainFormCommands()
{
    m_collect.abort(CollectAbort::Closing);
}

// What a collect that ran to its end leaves for the downloads: its set, or a cleared one, and
// then the preview no longer shows the set before it.
void MainFormCommands::keepSet(const CollectResult &result)
{
    if (result.status == CollectResult::Status::Collected || result.status == CollectResult::Status::Failed)
        m_set = result.set;
    if (result.status == CollectResult::Status::Failed)
        m_window.showPreviewNotice(result.errorString);
    if (result.status == CollectResult::Status::Collected)
        m_window.addPictureChoices(result.counts);
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
    m_downloads.download(set, choice);
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
