#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace talvesk {

struct FetchOptions
{
    int stallLimitMs = 30000;                  // no byte for this long ends an attempt
    qint64 maxBodyBytes = 256LL * 1024 * 1024; // larger bodies are refused
    int retries = 2;                           // further attempts after a transient failure
};

// What became of one picture. Defaults mean it was not saved.
struct FetchResult
{
    QString address;
    QString fileName;
    bool saved = false;
    QString reason; // why it was not saved
};

// savePicUrl: fetches one picture address into one file, asynchronously on a shared manager.
// Only a 2xx response is written, whole or not at all: the body goes to a temporary file in
// the same folder that replaces any file of that name once complete. Connection resets,
// time-outs and 5xx answers are retried. No request header of our own is sent.
class PicSaver final : public QObject
{
    Q_OBJECT

public:
    PicSaver(QNetworkAccessManager &manager, const FetchOptions &options, const QString &address,
             const QString &fileName, QObject *parent = nullptr);
    ~PicSaver() override;

    void start();
    // Stops at once and leaves no file behind; finished() is not emitted.
    void abort();

    bool isFinished() const { return m_finished; }
    const FetchResult &result() const { return m_result; }

Q_SIGNALS:
    void finished();

private:
    void startAttempt();
    void checkHeaders();
    bool readBody();
    void completeAttempt();
    void failAttempt(const QString &reason, bool transient);
    void settle(bool saved, const QString &reason);
    void dropAttempt();
    QString describeError() const;

    QNetworkAccessManager &m_manager;
    const FetchOptions m_options;
    FetchResult m_result;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    qint64 m_received = 0;
    int m_attempts = 0;
    bool m_finished = false;
};

} // namespace talvesk
