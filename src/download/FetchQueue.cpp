// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/FetchQueue.h"

#include <algorithm>
#include <utility>

namespace talvesk {

FetchQueue::FetchQueue(QNetworkAccessManager &manager, const FetchOptions &options, int concurrency,
                       QObject *parent)
    : QObject(parent), m_manager(manager), m_options(options), m_concurrency(std::max(1, concurrency))
{
}

FetchQueue::~FetchQueue()
{
    abortAll();
}

void FetchQueue::add(const QString &address, const QString &fileName)
{
    FetchResult pending;
    pending.address = address;
    pending.fileName = fileName;
    m_waiting.push_back(static_cast<int>(m_results.size()));
    m_results.append(pending);
    m_done.append(false);
    startMore();
}

QList<FetchResult> FetchQueue::failures() const
{
    QList<FetchResult> failed;
    for (qsizetype i = 0; i < m_results.size(); ++i) {
        if (m_done[i] && !m_results[i].saved)
            failed.append(m_results[i]);
    }
    return failed;
}

void FetchQueue::abortAll()
{
    m_waiting.clear();
    for (PictureFetch *fetch : std::as_const(m_running)) {
        fetch->abort();
        delete fetch;
    }
    m_running.clear();
}

void FetchQueue::startMore()
{
    while (!m_waiting.empty() && m_running.size() < m_concurrency) {
        const int index = m_waiting.front();
        m_waiting.pop_front();
        auto *fetch =
            new PictureFetch(m_manager, m_options, m_results[index].address, m_results[index].fileName, this);
        m_running.append(fetch);
        connect(fetch, &PictureFetch::finished, this, [this, fetch, index] { handleFinished(fetch, index); });
        connect(fetch, &PictureFetch::sharedConnectionsClosing, this,
                [this, fetch] { startOthersOver(fetch); });
        fetch->start();
    }
}

void FetchQueue::startOthersOver(const PictureFetch *closing)
{
    for (PictureFetch *fetch : std::as_const(m_running)) {
        if (fetch != closing)
            fetch->startOver();
    }
}

void FetchQueue::handleFinished(PictureFetch *fetch, int index)
{
    m_results[index] = fetch->result();
    m_done[index] = true;
    ++m_finished;
    m_running.removeOne(fetch);
    fetch->deleteLater();
    startMore();
    Q_EMIT pictureFinished();
}

} // namespace talvesk
