#include "download/DownloadCommand.h"

#include "collect/PicList.h"
#include "download/DownloadText.h"
#include "download/FetchQueue.h"
#include "download/FolderCreation.h"
#include "download/FolderPicker.h"
#include "download/PathJoin.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/MessageList.h"
#include "platform/WindowControls.h"

#include <QDir>
#include <QNetworkAccessManager>

#include <array>
#include <utility>

namespace talvesk {

namespace {

struct ListPlan
{
    const PicList *list;
    QString subfolder;
    int fnlength;
    QString filePrefix;
    QString emptyMessage;
    QString folder = {}; // the subfolder as created
};

QString folderErrorLine(const QString &folder, const QString &reason)
{
    return QStringLiteral("无法创建文件夹:%1,原因:%2").arg(folder, reason);
}

} // namespace

DownloadCommand::DownloadCommand(WindowControls &window, Dialogs &dialogs, MessageList &messages,
                                 EventLoop &loop, const DownloadOptions &options)
    : m_window(window), m_dialogs(dialogs), m_messages(messages), m_loop(loop), m_options(options)
{
}

DownloadResult DownloadCommand::run(const CollectedSet &collected)
{
    const CollectedSet set = collected;
    DownloadResult result;

    m_window.selectTab(WindowControls::Tab::Preview);
    const QString chosen =
        browseDir(m_dialogs, QStringLiteral("请选择保存目录"), QDir::toNativeSeparators(QDir::currentPath()));
    if (chosen.isEmpty() || set.itemTitle.isEmpty()) {
        result.outcome = DownloadResult::Outcome::NotStarted;
        return result;
    }

    const auto stopOnFolder = [&](const QString &requested, const QString &reason) {
        result.outcome = DownloadResult::Outcome::FolderFailed;
        result.folderError = folderErrorLine(requested, reason);
        m_messages.insertLine(result.folderError);
        return result;
    };

    const QString itemRequested = joinPath(chosen, set.itemTitle);
    const FolderResult item = mkdiruser(itemRequested, static_cast<int>(set.itemTitle.size()));
    if (!item.ok())
        return stopOnFolder(itemRequested, item.error);
    result.itemFolder = item.path;

    std::array<ListPlan, 3> plans = {{
        {&set.mpicUrls, QStringLiteral("主图"), 2, QStringLiteral("描述主图"),
         QStringLiteral("无采集到主图")},
        {&set.colorPicUrls, QStringLiteral("颜色图"), 3, QStringLiteral("颜色主图"),
         QStringLiteral("无采集到颜色主图")},
        {&set.descPicUrls, QStringLiteral("描述图"), 3, QStringLiteral("描述图"),
         QStringLiteral("无采集到描述")},
    }};
    for (ListPlan &plan : plans) {
        const QString requested = joinPath(item.path, plan.subfolder);
        const FolderResult sub = mkdiruser(requested, plan.fnlength);
        if (!sub.ok())
            return stopOnFolder(requested, sub.error);
        plan.folder = sub.path;
    }

    result.total = countPicUrl(set.colorPicUrls) + countPicUrl(set.mpicUrls) + countPicUrl(set.descPicUrls);
    m_messages.insertLine(progressLine(0, result.total));
    m_window.setProgress(0);

    QNetworkAccessManager manager;
    QList<FetchResult> failures;
    int done = 0;
    for (const ListPlan &plan : plans) {
        const int count = countPicUrl(*plan.list);
        if (count == 0) {
            m_dialogs.showMessage(plan.emptyMessage, QStringLiteral("下载提示"));
            continue;
        }
        FetchQueue queue(manager, m_options.fetch, m_options.concurrency);
        for (int n = 0; n < count; ++n) {
            const QString &address = (*plan.list)[n];
            queue.add(address,
                      joinPath(plan.folder, plan.filePrefix + QString::number(n) + picFileTail(address)));
        }
        int shown = 0;
        while (!queue.isIdle()) {
            if (!m_loop.waitForEvents()) {
                queue.abortAll();
                result.outcome = DownloadResult::Outcome::Unfinished;
                return result;
            }
            if (queue.finishedCount() != shown) {
                shown = queue.finishedCount();
                m_messages.setTopLine(progressLine(done + shown, result.total));
                m_window.setProgress(progressPercent(done + shown, result.total));
            }
        }
        done += count;
        failures += queue.failures();
    }

    for (const FetchResult &failure : std::as_const(failures))
        m_messages.insertLine(QStringLiteral("图片下载失败:%1,原因:%2").arg(failure.address, failure.reason));
    result.failed = static_cast<int>(failures.size());
    if (result.failed > 0)
        m_messages.insertLine(QStringLiteral("共有%1张图片下载失败").arg(result.failed));
    m_messages.insertLine(QStringLiteral("图片下载完成,保存至:") + result.itemFolder);
    result.outcome = DownloadResult::Outcome::Done;
    return result;
}

} // namespace talvesk
