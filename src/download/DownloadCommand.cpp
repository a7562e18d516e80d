// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadCommand.h"

#include "download/DownloadText.h"
#include "download/FetchQueue.h"
#include "download/FolderCreation.h"
#include "download/FolderPicker.h"
#include "download/ItemFolderName.h"
#include "download/PathJoin.h"
#include "platform/Dialogs.h"
#include "platform/WindowControls.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QPointer>

#include <utility>

namespace talvesk {

namespace {

QString folderErrorLine(const QString &folder, const QString &reason)
{
    return QStringLiteral("无法创建文件夹:%1,原因:%2").arg(folder, reason);
}

} // namespace

DownloadCommand::DownloadCommand(WindowControls &window, Dialogs &dialogs, MessageList &messages,
                                 const DownloadOptions &options, QObject *parent)
    : QObject(parent), m_window(window), m_dialogs(dialogs), m_messages(messages),
      m_options(options), m_plans{{
                              {&m_set.mainPictures, QStringLiteral("主图"), 2, QStringLiteral("描述主图"),
                               QStringLiteral("无采集到主图")},
                              {&m_set.colourPictures, QStringLiteral("颜色图"), 3, QStringLiteral("颜色主图"),
                               QStringLiteral("无采集到颜色主图")},
                              {&m_set.descriptionPictures, QStringLiteral("描述图"), 3,
                               QStringLiteral("描述图"), QStringLiteral("无采集到描述")},
                          }}
{
}

DownloadCommand::~DownloadCommand()
{
    m_queue.reset(); // its fetches use the manager
}

void DownloadCommand::start(const CollectedSet &collected)
{
    m_set = collected;
    m_result = DownloadResult();
    m_running = true;

    m_window.selectTab(WindowControls::Tab::Preview);
    const QString chosen = chooseSaveFolder(m_dialogs, QStringLiteral("请选择保存目录"),
                                            QDir::toNativeSeparators(m_options.startFolder));
    if (!m_running) // stopped while the dialog was open
        return;
    if (chosen.isEmpty() || m_set.itemTitle.isEmpty()) {
        finish(DownloadResult::Outcome::NotStarted);
        return;
    }
    if (!createFolders(chosen)) {
        reportOnItemFolder(m_result.folderError);
        finish(DownloadResult::Outcome::FolderFailed);
        return;
    }

    m_result.total = countPictures(m_set.colourPictures) + countPictures(m_set.mainPictures) +
                     countPictures(m_set.descriptionPictures);
    m_progressLine = m_messages.insertLine(progressLine(0, m_result.total));
    m_messages.setLineAction(m_progressLine, QStringLiteral("取消下载"), [download = QPointer(this)] {
        if (download)
            download->cancel();
    });
    Q_EMIT progressChanged(0);
    m_manager = new QNetworkAccessManager(this);
    m_list = 0;
    m_done = 0;
    fetchNextList();
}

void DownloadCommand::abort()
{
    if (!m_running)
        return;
    if (m_queue)
        m_queue->abortAll();
    finish(DownloadResult::Outcome::Unfinished);
}

void DownloadCommand::cancel()
{
    if (!m_running || m_progressLine == 0)
        return;
    const int saved = savedCount();
    if (m_queue)
        m_queue->abortAll();
    reportOnItemFolder(
        QStringLiteral("图片下载已取消,已保存%1张,保存至:%2").arg(saved).arg(m_result.itemFolder));
    finish(DownloadResult::Outcome::Unfinished);
}

int DownloadCommand::savedCount() const
{
    qsizetype saved = m_done - m_failures.size();
    if (m_queue)
        saved += m_queue->finishedCount() - m_queue->failures().size();
    return static_cast<int>(saved);
}

bool DownloadCommand::createFolders(const QString &chosen)
{
    const ItemFolderName folderName = itemFolderName(m_set.itemTitle);
    if (folderName.shortened)
        m_messages.insertLine(QStringLiteral("消息提示:宝贝标题过长,文件夹名已截短为:") + folderName.name);
    const QString itemRequested = joinPath(chosen, folderName.name);
    const FolderResult item = createNewFolder(itemRequested, static_cast<int>(folderName.name.size()));
    if (!item.ok()) {
        m_result.folderError = folderErrorLine(itemRequested, item.error);
        return false;
    }
    m_result.itemFolder = item.path;
    for (ListPlan &plan : m_plans) {
        const QString requested = joinPath(item.path, plan.subfolder);
        const FolderResult sub = createNewFolder(requested, plan.fnlength);
        if (!sub.ok()) {
            m_result.folderError = folderErrorLine(requested, sub.error);
            return false;
        }
        plan.folder = sub.path;
    }
    return true;
}

// Lists go one after the other, in their fixed order; an empty one says so in a box.
void DownloadCommand::fetchNextList()
{
    for (; m_list < m_plans.size(); ++m_list) {
        const ListPlan &plan = m_plans[m_list];
        const int count = countPictures(*plan.list);
        if (count > 0) {
            m_queue = std::make_unique<FetchQueue>(*m_manager, m_options.fetch, m_options.concurrency);
            connect(m_queue.get(), &FetchQueue::pictureFinished, this,
                    &DownloadCommand::handlePictureFinished);
            for (int n = 0; n < count; ++n) {
                const QString &address = (*plan.list)[n];
                m_queue->add(address, joinPath(plan.folder, plan.filePrefix + QString::number(n) +
                                                                pictureFileTail(address)));
            }
            return;
        }
        m_dialogs.showMessage(plan.emptyMessage, QStringLiteral("下载提示"));
        if (!m_running) // stopped while the box was open
            return;
    }
    finishDone();
}

void DownloadCommand::handlePictureFinished()
{
    showProgress();
    if (!m_queue->isIdle())
        return;
    m_done += m_queue->finishedCount();
    m_failures += m_queue->failures();
    // The queue is still inside its own signal.
    m_queue.release()->deleteLater();
    ++m_list;
    fetchNextList();
}

void DownloadCommand::showProgress()
{
    const int done = m_done + m_queue->finishedCount();
    m_messages.setLine(m_progressLine, progressLine(done, m_result.total));
    Q_EMIT progressChanged(progressPercent(done, m_result.total));
}

// The final line, then the failures above it, so what went wrong is what the user sees first.
void DownloadCommand::finishDone()
{
    reportOnItemFolder(QStringLiteral("图片下载完成,保存至:") + m_result.itemFolder);
    QStringList failureLines;
    for (const FetchResult &failure : std::as_const(m_failures)) {
        failureLines.append(QStringLiteral("图片下载失败:%1,原因:%2").arg(failure.address, failure.reason));
        reportOnItemFolder(failureLines.last());
    }
    m_result.failed = static_cast<int>(m_failures.size());
    if (m_result.failed > 0) {
        // The count on top leads to the failures below it, all of them in one box.
        const MessageLine count =
            reportOnItemFolder(QStringLiteral("共有%1张图片下载失败").arg(m_result.failed));
        m_messages.setLineAction(count, QStringLiteral("显示失败的图片"),
                                 [&dialogs = m_dialogs, text = failureLines.join(u'\n')] {
                                     dialogs.showMessage(text, QStringLiteral("提示信息"));
                                 });
    }
    finish(DownloadResult::Outcome::Done);
}

// A line about this download's item folder, from which the user can open it (once it exists).
MessageLine DownloadCommand::reportOnItemFolder(const QString &text)
{
    const MessageLine line = m_messages.insertLine(text);
    if (!m_result.itemFolder.isEmpty())
        m_messages.setLineFolder(line, m_result.itemFolder);
    return line;
}

void DownloadCommand::finish(DownloadResult::Outcome outcome)
{
    m_result.outcome = outcome;
    m_running = false;
    if (m_progressLine != 0)
        m_messages.setLineAction(m_progressLine, {}, {});
    Q_EMIT finished();
}

} // namespace talvesk
