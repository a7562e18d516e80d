// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CollectLines.h"

#include "app/CollectMessages.h"
#include "collect/CollectCommand.h"

namespace talvesk {

void CollectLines::showProgress(const CollectProgress &progress)
{
    QString text;
    switch (progress.phase) {
    case CollectProgress::Phase::Reloading:
        text = CollectMessages::reloadProgress(progress.reload, progress.reloads, progress.seconds);
        break;
    case CollectProgress::Phase::ReadingDescription:
        text = CollectMessages::descriptionProgress(progress.seconds);
        break;
    default:
        text = CollectMessages::progress(progress.seconds);
        break;
    }
    if (m_line)
        m_messages.setLine(*m_line, text);
    else
        m_line = m_messages.insertLine(text);
}

void CollectLines::showResult(const CollectResult &result)
{
    switch (result.status) {
    case CollectResult::Status::Closing:
        return;
    case CollectResult::Status::Collected: {
        const QStringList notices = CollectMessages::notices(result);
        for (const QString &notice : notices)
            m_messages.insertLine(notice);
        // Good news, not a warning: the summary stays as it is.
        if (!result.set.videos.isEmpty())
            m_messages.insertLine(QStringLiteral("消息提示:主图视频%1个").arg(result.set.videos.size()));
        const MessageLine summary = m_messages.insertLine(CollectMessages::summary(result.set));
        // The summary invites a download, and is what is read: it must not hide that
        // something (the description, say) was not collected.
        if (!notices.isEmpty())
            m_messages.setLineWarning(summary);
        return;
    }
    case CollectResult::Status::Failed:
    case CollectResult::Status::Blocked:
    case CollectResult::Status::Refused:
    case CollectResult::Status::Stopped:
        m_messages.insertLine(CollectMessages::failure(result));
        return;
    }
}

} // namespace talvesk
