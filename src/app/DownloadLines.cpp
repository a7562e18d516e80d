// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadLines.h"

#include "app/DownloadWords.h"
#include "platform/Dialogs.h"

#include <QStringList>

#include <utility>

namespace talvesk {

namespace {

QString emptyListNotice(PictureKind list)
{
    const QString notices[] = {QStringLiteral("无采集到主图"), QStringLiteral("无采集到颜色主图"),
                               QStringLiteral("无采集到描述"), QStringLiteral("无采集到视频")};
    return notices[static_cast<int>(list)];
}

} // namespace

std::function<void(const QString &, std::function<void(QString)>)> saveFolderQuestion(Dialogs &dialogs)
{
    return [&dialogs](const QString &startFolder, std::function<void(QString)> answer) {
        dialogs.chooseFolder(QStringLiteral("请选择保存目录"), startFolder, std::move(answer));
    };
}

QString folderFailureLine(const DownloadResult &result)
{
    return QStringLiteral("无法创建文件夹:%1,原因:%2")
        .arg(result.failedFolder, folderFailureText(result.folderFailure));
}

QString manifestFailureLine(const DownloadResult &result)
{
    return QStringLiteral("清单保存失败:%1,原因:%2").arg(result.manifestFile, result.manifestFailure);
}

DownloadLines::DownloadLines(MessageList &messages, Dialogs &dialogs, std::function<void()> cancel,
                             std::function<void(const RetryPlan &)> retry, Notices notices)
    : m_messages(messages), m_dialogs(dialogs), m_cancel(std::move(cancel)), m_retry(std::move(retry)),
      m_notices(notices)
{
}

void DownloadLines::show(const DownloadProgress &progress)
{
    switch (progress.step) {
    case DownloadProgress::Step::ItemFolder:
        m_madeItemFolder = progress.itemFolder;
        if (!progress.shortenedName.isEmpty())
            m_messages.insertLine(QStringLiteral("消息提示:宝贝标题过长,文件夹名已截短为:") +
                                  progress.shortenedName);
        return;
    case DownloadProgress::Step::EmptyList:
        if (m_notices == Notices::Lines)
            m_messages.insertLine(QStringLiteral("下载提示: ") + emptyListNotice(progress.list));
        else
            m_dialogs.showMessage(emptyListNotice(progress.list), QStringLiteral("下载提示"));
        return;
    case DownloadProgress::Step::Pictures:
        break;
    }
    const QString line = progressLine(progress.done, progress.total);
    if (m_progressLine != 0) {
        m_messages.setLine(m_progressLine, line);
        return;
    }
    m_progressLine = m_messages.insertLine(line);
    if (m_cancel)
        m_messages.setLineAction(m_progressLine, QStringLiteral("取消下载"), m_cancel);
}

void DownloadLines::showEnd(const DownloadResult &result)
{
    if (m_progressLine != 0)
        m_messages.setLineAction(m_progressLine, {}, {});
    switch (result.outcome) {
    case DownloadResult::Outcome::FolderFailed:
        lineOnFolder(folderFailureLine(result), m_madeItemFolder);
        return;
    case DownloadResult::Outcome::Done:
        showDone(result);
        return;
    case DownloadResult::Outcome::Unfinished:
        if (m_progressLine != 0)
            showStopped(result);
        return;
    case DownloadResult::Outcome::NotStarted:
        return;
    }
}

// The final line, then the failures above it, so what went wrong is what the user sees first.
// A download that saved nothing left no folder and ends with its failures alone.
void DownloadLines::showDone(const DownloadResult &result)
{
    const QString shownFolder = result.itemFolderRemoved ? QString() : result.itemFolder;
    if (!result.itemFolderRemoved)
        m_messages.showFolderLink(
            lineOnFolder(QStringLiteral("图片下载完成,保存至:") + result.itemFolder, shownFolder));
    if (!result.manifestFailure.isEmpty())
        lineOnFolder(manifestFailureLine(result), shownFolder);
    QStringList failureLines;
    const RetryPlan retry = retryPlanOf(result);
    for (const FetchResult &failure : result.failures) {
        failureLines.append(QStringLiteral("图片下载失败:%1,原因:%2")
                                .arg(failure.address, fetchFailureText(failure.failure)));
        lineOnFolder(failureLines.last(), shownFolder);
    }
    if (result.failures.isEmpty())
        return;
    // The count on top leads to the failures below it, and offers to fetch them again.
    const MessageLine count =
        lineOnFolder(QStringLiteral("共有%1张图片下载失败").arg(result.failures.size()), shownFolder);
    m_messages.setLineAction(count, QStringLiteral("显示失败的图片"), [&dialogs = m_dialogs, failureLines] {
        dialogs.showLines(failureLines, QStringLiteral("下载失败的图片"));
    });
    if (m_retry)
        m_messages.setLineAction(count, QStringLiteral("重试失败的图片"),
                                 [offer = m_retry, retry] { offer(retry); });
}

// The progress line as it stood when the download stopped; a stop by the user says how many
// pictures were saved before it, and where.
void DownloadLines::showStopped(const DownloadResult &result)
{
    m_messages.setLine(m_progressLine,
                       progressLine(result.saved + static_cast<int>(result.failures.size()), result.total));
    if (!result.cancelled)
        return;
    if (result.itemFolderRemoved)
        m_messages.insertLine(QStringLiteral("图片下载已取消,已保存0张"));
    else
        lineOnFolder(
            QStringLiteral("图片下载已取消,已保存%1张,保存至:%2").arg(result.saved).arg(result.itemFolder),
            result.itemFolder);
}

MessageLine DownloadLines::lineOnFolder(const QString &text, const QString &folder)
{
    const MessageLine line = m_messages.insertLine(text);
    if (!folder.isEmpty())
        m_messages.setLineFolder(line, folder);
    return line;
}

} // namespace talvesk
