// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "download/FetchFailure.h"
#include "download/PictureSniffer.h"

#include <QCryptographicHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace talvesk {

struct FetchOptions
{
    // What the bodies must be: a picture, or an ISO media file (the main video), whose size
    // limit and deadline are their own.
    enum class Body { Picture, Video };
    Body body = Body::Picture;
    int stallWindowMs = 30000; // an attempt must receive stallMinBytes in every such window
    qint64 stallMinBytes = 1024;
    int deadlineMs = 10 * 60 * 1000;           // a picture not saved this long after its request fails
    qint64 maxBodyBytes = 256LL * 1024 * 1024; // larger bodies are refused, also while they arrive
    qint64 readBufferBytes = 256 * 1024;       // what the network layer may hold unread
    int retries = 2;                           // further attempts after a transient failure
    qint64 maxVideoBytes = 2048LL * 1024 * 1024;
    int videoDeadlineMs = 60 * 60 * 1000;
};

// What became of one picture. Defaults mean it was not saved.
struct FetchResult
{
    QString address;
    QString fileName;
    bool saved = false;
    FetchFailure failure = {}; // once ended and not saved: why
    qint64 bytes = 0;          // saved: the file's size
    QByteArray sha256 = {};    // saved: of the file's bytes, lower-case hex
};

// Fetches one picture address into one file, asynchronously on a shared manager. Only http
// and https addresses are fetched, also after redirects: a page's markup must never make the
// program read a local file. Only a 2xx response whose first bytes are a picture is written
// (not a web page or text by its declared type, not empty, not a 206 part nobody asked for),
// whole or not at all: the body streams to a temporary file in the same folder that takes the
// name once complete, and never replaces a file already there. Connection resets, time-outs
// and 5xx answers are retried. No request header of our own is sent.
//
// An interim (1xx) answer fails the picture and closes every connection of the manager: the
// network layer takes it for the final answer and would hand the real one, still to come, to
// the next request on that connection. Fetches sharing the manager are told first, by
// sharedConnectionsClosing(), and must startOver(), as replies in flight do not survive it.
class PictureFetch final : public QObject
{
    Q_OBJECT

public:
    PictureFetch(QNetworkAccessManager &manager, const FetchOptions &options, const QString &address,
                 const QString &fileName, QObject *parent = nullptr);
    ~PictureFetch() override;

    // finished() always comes later, from the event loop.
    void start();
    // Stops at once and leaves no file behind; finished() is not emitted.
    void abort();
    // Drops the request under way, if any, and sends it again from the event loop; the
    // attempt is not counted as a retry.
    void startOver();

    const FetchResult &result() const { return m_result; }

Q_SIGNALS:
    void finished();
    // The manager's connections are about to be closed; see above.
    void sharedConnectionsClosing();

private:
    void startAttempt();
    void restartAttempt();
    void request(const QUrl &url);
    bool followRedirect();
    void checkHeaders();
    bool refuseByStatus(int status);
    void refuseInterimAnswer(int status);
    FetchFailure notPicture() const;
    bool readBody();
    void checkProgress();
    void completeAttempt();
    void failAttempt(const FetchFailure &failure, bool transient);
    // Saved when there is no failure.
    void settle(const std::optional<FetchFailure> &failure);
    void settleLater(const FetchFailure &failure);
    void dropAttempt();
    void dropReply();
    FetchFailure networkFailure() const;
    FetchFailure fileFailure() const;
    FetchFailure tooLarge() const;
    qint64 maxBytes() const;

    QNetworkAccessManager &m_manager;
    const FetchOptions m_options;
    FetchResult m_result;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    std::optional<PictureSniffer> m_sniffer;               // for the current request's body
    QCryptographicHash m_hash{QCryptographicHash::Sha256}; // of what is written to m_file
    qint64 m_written = 0;
    QTimer m_stallTimer;
    QTimer m_deadline;
    QUrl m_url; // where the current request went, after redirects
    int m_redirects = 0;
    qint64 m_received = 0;
    qint64 m_receivedInWindow = 0;
    int m_attempts = 0;
    bool m_finished = false;
};

} // namespace talvesk
