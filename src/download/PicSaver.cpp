#include "download/PicSaver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

namespace talvesk {

namespace {

int httpStatus(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// 0 when the scheme has no status (the reply's error then decides).
bool isSuccess(int status)
{
    return status == 0 || (status >= 200 && status < 300);
}

bool isTransient(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer time-out; our own aborts are disconnected
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

} // namespace

PicSaver::PicSaver(QNetworkAccessManager &manager, const FetchOptions &options, const QString &address,
                   const QString &fileName, QObject *parent)
    : QObject(parent), m_manager(manager), m_options(options)
{
    m_result.address = address;
    m_result.fileName = fileName;
}

PicSaver::~PicSaver()
{
    dropAttempt();
}

void PicSaver::start()
{
    startAttempt();
}

void PicSaver::abort()
{
    m_finished = true;
    dropAttempt();
}

void PicSaver::startAttempt()
{
    ++m_attempts;
    m_received = 0;
    QNetworkRequest request(QUrl(m_result.address));
    request.setTransferTimeout(m_options.stallLimitMs);
    m_reply = m_manager.get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &PicSaver::checkHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] { readBody(); });
    connect(m_reply, &QNetworkReply::finished, this, &PicSaver::completeAttempt);
}

void PicSaver::checkHeaders()
{
    // Refuse an oversized body before any of it arrives.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (isSuccess(httpStatus(m_reply)) && length.isValid() && length.toLongLong() > m_options.maxBodyBytes)
        failAttempt(QStringLiteral("图片过大(超过%1字节)").arg(m_options.maxBodyBytes), false);
}

// Writes what has arrived; false when the attempt has failed.
bool PicSaver::readBody()
{
    const QByteArray chunk = m_reply->readAll();
    if (!isSuccess(httpStatus(m_reply)))
        return true; // an error page: reported when the reply finishes, never written
    m_received += chunk.size();
    if (m_received > m_options.maxBodyBytes) {
        failAttempt(QStringLiteral("图片过大(超过%1字节)").arg(m_options.maxBodyBytes), false);
        return false;
    }
    if (!m_file) {
        m_file = std::make_unique<QSaveFile>(m_result.fileName);
        if (!m_file->open(QIODevice::WriteOnly)) {
            failAttempt(QStringLiteral("无法写入文件:%1").arg(m_file->errorString()), false);
            return false;
        }
    }
    if (m_file->write(chunk) != chunk.size()) {
        failAttempt(QStringLiteral("无法写入文件:%1").arg(m_file->errorString()), false);
        return false;
    }
    return true;
}

void PicSaver::completeAttempt()
{
    const int status = httpStatus(m_reply);
    if (!isSuccess(status)) {
        failAttempt(QStringLiteral("HTTP %1").arg(status), status >= 500);
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        failAttempt(describeError(), isTransient(m_reply->error()));
        return;
    }
    if (!readBody())
        return;
    if (!m_file->commit()) {
        failAttempt(QStringLiteral("无法写入文件:%1").arg(m_file->errorString()), false);
        return;
    }
    settle(true, QString());
}

QString PicSaver::describeError() const
{
    switch (m_reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("连接被拒绝");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("连接中断");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("找不到服务器");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("超时,%1秒内没有收到数据").arg(m_options.stallLimitMs / 1000.0);
    default:
        return m_reply->errorString();
    }
}

void PicSaver::failAttempt(const QString &reason, bool transient)
{
    dropAttempt();
    if (transient && m_attempts <= m_options.retries)
        startAttempt();
    else
        settle(false, reason);
}

void PicSaver::settle(bool saved, const QString &reason)
{
    dropAttempt();
    m_result.saved = saved;
    m_result.reason = reason;
    m_finished = true;
    Q_EMIT finished();
}

// Ends the current attempt quietly; an uncommitted file is discarded with its temporary.
void PicSaver::dropAttempt()
{
    if (m_reply) {
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_file.reset();
}

} // namespace talvesk
