// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "download/PictureFetch.h"

#include <QList>
#include <QObject>

#include <deque>

class QNetworkAccessManager;

namespace talvesk {

// Runs the picture fetches of one list, a bounded number at a time, on one shared manager so
// its connections are kept alive from one picture to the next.
class FetchQueue final : public QObject
{
    Q_OBJECT

public:
    FetchQueue(QNetworkAccessManager &manager, const FetchOptions &options, int concurrency,
               QObject *parent = nullptr);
    ~FetchQueue() override;

    void add(const QString &address, const QString &fileName);

    bool isIdle() const { return m_finished == m_results.size(); }
    int finishedCount() const { return m_finished; }
    // The pictures that could not be saved, in the order they were added.
    QList<FetchResult> failures() const;
    // Every picture added, in order; those still running not saved.
    const QList<FetchResult> &results() const { return m_results; }

    // Stops every fetch at once; nothing half-written stays on disk.
    void abortAll();

Q_SIGNALS:
    // One more picture is saved or has failed; the queue is left alone after it.
    void pictureFinished();

private:
    void startMore();
    void handleFinished(PictureFetch *fetch, int index);
    void startOthersOver(const PictureFetch *closing);

    QNetworkAccessManager &m_manager;
    const FetchOptions m_options;
    const int m_concurrency;
    std::deque<int> m_waiting;
    QList<PictureFetch *> m_running;
    QList<FetchResult> m_results; // in the order added; filled as fetches finish
    QList<bool> m_done;
    int m_finished = 0;
};

} // namespace talvesk
