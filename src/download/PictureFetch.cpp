// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/PictureFetch.h"

#include "collect/CleanAddress.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStorageInfo>
#include <QUrl>

namespace talvesk {

namespace {

int httpStatus(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

bool isInterim(int status)
{
    return status >= 100 && status < 200;
}

// The declared type, lower case and without parameters.
QByteArray declaredType(const QNetworkReply *reply)
{
    return reply->rawHeader("Content-Type").split(';').first().trimmed().toLower();
}

// A login or error page served in a picture's place.
bool isDocumentType(const QByteArray &mimeType)
{
    return mimeType == "text/html" || mimeType == "text/plain";
}

bool isTransient(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

QString unsupportedAddressReason()
{
    return QStringLiteral("不支持的地址类型");
}

QString timeoutReason()
{
    return QStringLiteral("超时");
}

QString connectionCutReason()
{
    return QStringLiteral("连接中断");
}

// A body that ended before its declared length. The network layer may finish such a reply
// without an error when the server's close races with the last read. An encoded body's
// declared length counts encoded bytes, which are not seen here, so it is left alone.
bool isCutShort(const QNetworkReply *reply, qint64 received)
{
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity")
        return false;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() && received < length.toLongLong();
}

QString diskFullReason()
{
    return QStringLiteral("磁盘空间不足");
}

// Less than this free after a failed save means the disk filled up under it.
constexpr qint64 kNearlyFullBytes = 1024 * 1024;

constexpr int kMaxRedirects = 20; // as browsers allow

} // namespace

PictureFetch::PictureFetch(QNetworkAccessManager &manager, const FetchOptions &options,
                           const QString &address, const QString &fileName, QObject *parent)
    : QObject(parent), m_manager(manager), m_options(options)
{
    m_result.address = address;
    m_result.fileName = fileName;
    m_stallTimer.setInterval(m_options.stallWindowMs);
    connect(&m_stallTimer, &QTimer::timeout, this, &PictureFetch::checkProgress);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(m_options.body == FetchOptions::Body::Video ? m_options.videoDeadlineMs
                                                                       : m_options.deadlineMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] { settle(false, timeoutReason()); });
}

PictureFetch::~PictureFetch()
{
    dropAttempt();
}

void PictureFetch::start()
{
    if (!isWebAddress(QUrl(m_result.address))) {
        settleLater(unsupportedAddressReason());
        return;
    }
    m_deadline.start();
    startAttempt();
}

void PictureFetch::abort()
{
    m_finished = true;
    m_deadline.stop();
    dropAttempt();
}

void PictureFetch::startOver()
{
    if (!m_reply)
        return; // nothing under way, or a restart already pending
    dropAttempt();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_finished)
                restartAttempt();
        },
        Qt::QueuedConnection);
}

void PictureFetch::startAttempt()
{
    ++m_attempts;
    restartAttempt();
}

void PictureFetch::restartAttempt()
{
    m_redirects = 0;
    m_receivedInWindow = 0;
    request(QUrl(m_result.address));
    m_stallTimer.start();
}

// Redirects are followed here, not by the network layer, so that every hop is checked: a
// redirect must not lead to a local file either.
void PictureFetch::request(const QUrl &url)
{
    m_url = url;
    m_received = 0;
    m_sniffer.reset();
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_manager.get(request);
    m_reply->setReadBufferSize(m_options.readBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &PictureFetch::checkHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] { readBody(); });
    connect(m_reply, &QNetworkReply::finished, this, &PictureFetch::completeAttempt);
}

// True when the reply was a redirect, now followed or failed.
bool PictureFetch::followRedirect()
{
    const QVariant target = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (!target.isValid())
        return false;
    const QUrl next = m_url.resolved(target.toUrl());
    if (!isWebAddress(next)) {
        failAttempt(unsupportedAddressReason(), false);
    } else if (++m_redirects > kMaxRedirects) {
        failAttempt(QStringLiteral("重定向次数过多"), false);
    } else {
        dropReply();
        request(next);
    }
    return true;
}

qint64 PictureFetch::maxBytes() const
{
    return m_options.body == FetchOptions::Body::Video ? m_options.maxVideoBytes : m_options.maxBodyBytes;
}

QString PictureFetch::tooLargeReason() const
{
    const QString text = m_options.body == FetchOptions::Body::Video ? QStringLiteral("视频超过%1MB")
                                                                     : QStringLiteral("图片超过%1MB");
    return text.arg(maxBytes() / (1024 * 1024));
}

QString PictureFetch::notPictureReason() const
{
    const QByteArray type = declaredType(m_reply);
    const QString text = m_options.body == FetchOptions::Body::Video ? QStringLiteral("不是视频(%1)")
                                                                     : QStringLiteral("不是图片(%1)");
    return text.arg(type.isEmpty() ? QStringLiteral("无类型") : QString::fromLatin1(type));
}

void PictureFetch::checkHeaders()
{
    const int status = httpStatus(m_reply);
    if (refuseByStatus(status) || !isSuccess(status))
        return;
    if (isDocumentType(declaredType(m_reply))) {
        failAttempt(notPictureReason(), false);
        return;
    }
    // Refuse an oversized body before any of it arrives.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBytes())
        failAttempt(tooLargeReason(), false);
}

// True when the attempt has failed for a status no retry can mend.
bool PictureFetch::refuseByStatus(int status)
{
    if (isInterim(status)) {
        refuseInterimAnswer(status);
        return true;
    }
    if (status == 206) { // a part, and we never ask for one
        failAttempt(QStringLiteral("HTTP 206"), false);
        return true;
    }
    return false;
}

void PictureFetch::refuseInterimAnswer(int status)
{
    dropReply();
    Q_EMIT sharedConnectionsClosing();
    m_manager.clearConnectionCache();
    failAttempt(QStringLiteral("无法处理临时应答(HTTP %1)").arg(status), false);
}

// Writes what has arrived once it is known to be a picture; false when the attempt has failed.
bool PictureFetch::readBody()
{
    QByteArray chunk = m_reply->readAll();
    m_receivedInWindow += chunk.size();
    if (!isSuccess(httpStatus(m_reply)))
        return true; // an error page: reported when the reply finishes, never written
    m_received += chunk.size();
    if (m_received > maxBytes()) {
        failAttempt(tooLargeReason(), false);
        return false;
    }
    if (chunk.isEmpty())
        return true;
    if (!m_sniffer)
        m_sniffer.emplace(declaredType(m_reply), m_options.body == FetchOptions::Body::Video
                                                     ? PictureSniffer::Expect::IsoMedia
                                                     : PictureSniffer::Expect::Picture);
    if (m_sniffer->verdict() != PictureSniffer::Verdict::Picture) {
        const PictureSniffer::Verdict verdict = m_sniffer->feed(chunk);
        if (verdict == PictureSniffer::Verdict::Undecided)
            return true;
        if (verdict == PictureSniffer::Verdict::NotPicture) {
            failAttempt(notPictureReason(), false);
            return false;
        }
        chunk = m_sniffer->takeStart();
    }
    if (!m_file) {
        m_file = std::make_unique<QSaveFile>(m_result.fileName);
        // Unbuffered: the chunks are already bounded, and a full disk shows at the write.
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            failAttempt(describeFileError(), false);
            return false;
        }
        m_hash.reset();
        m_written = 0;
    }
    // A short write is retried for the rest, which then tells why it failed (a full disk).
    for (qsizetype written = 0; written < chunk.size();) {
        const qint64 n = m_file->write(chunk.constData() + written, chunk.size() - written);
        if (n <= 0) {
            failAttempt(describeFileError(), false);
            return false;
        }
        m_hash.addData(QByteArrayView(chunk.constData() + written, n));
        m_written += n;
        written += n;
    }
    return true;
}

// A trickle of bytes must not keep an attempt alive for ever.
void PictureFetch::checkProgress()
{
    if (m_receivedInWindow < m_options.stallMinBytes)
        failAttempt(timeoutReason(), true);
    else
        m_receivedInWindow = 0;
}

void PictureFetch::completeAttempt()
{
    const int status = httpStatus(m_reply);
    if (refuseByStatus(status) || followRedirect())
        return;
    const QNetworkReply::NetworkError error = m_reply->error();
    if (status != 0 && !isSuccess(status)) {
        failAttempt(QStringLiteral("HTTP %1").arg(status), status >= 500);
        return;
    }
    if (error != QNetworkReply::NoError) {
        failAttempt(describeError(), isTransient(error));
        return;
    }
    if (!readBody())
        return;
    if (isCutShort(m_reply, m_received)) {
        failAttempt(connectionCutReason(), true);
        return;
    }
    if (m_received == 0) {
        failAttempt(QStringLiteral("图片内容为空"), false);
        return;
    }
    if (m_sniffer->finish() != PictureSniffer::Verdict::Picture) {
        failAttempt(notPictureReason(), false);
        return;
    }
    // Names within one download never repeat; a file there already is not ours to replace.
    const QFileInfo target(m_result.fileName);
    if (target.exists() || target.isSymLink()) {
        failAttempt(QStringLiteral("同名文件已存在"), false);
        return;
    }
    if (!m_file->commit()) {
        const QStorageInfo storage(target.absolutePath());
        failAttempt(storage.isValid() && storage.bytesAvailable() < kNearlyFullBytes
                        ? diskFullReason()
                        : QStringLiteral("无法写入文件:保存失败"),
                    false);
        return;
    }
    m_result.bytes = m_written;
    m_result.sha256 = m_hash.result().toHex();
    settle(true, QString());
}

QString PictureFetch::describeError() const
{
    switch (m_reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("连接被拒绝");
    case QNetworkReply::RemoteHostClosedError:
        return connectionCutReason();
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("找不到服务器");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return timeoutReason();
    case QNetworkReply::UnknownContentError:
        if (m_reply->hasRawHeader("Content-Encoding"))
            return QStringLiteral("图片数据解压失败(%1)")
                .arg(QString::fromLatin1(m_reply->rawHeader("Content-Encoding")));
        break;
    default:
        break;
    }
    const QString text = m_reply->errorString();
    return text.isEmpty() ? QStringLiteral("网络错误(代码%1)").arg(m_reply->error()) : text;
}

QString PictureFetch::describeFileError() const
{
    if (m_file->error() == QFileDevice::ResourceError)
        return diskFullReason();
    return QStringLiteral("无法写入文件:%1").arg(m_file->errorString());
}

void PictureFetch::failAttempt(const QString &reason, bool transient)
{
    dropAttempt();
    if (transient && m_attempts <= m_options.retries)
        startAttempt();
    else
        settle(false, reason);
}

void PictureFetch::settle(bool saved, const QString &reason)
{
    dropAttempt();
    m_deadline.stop();
    m_result.saved = saved;
    m_result.reason = reason;
    m_finished = true;
    Q_EMIT finished();
}

void PictureFetch::settleLater(const QString &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (!m_finished)
                settle(false, reason);
        },
        Qt::QueuedConnection);
}

// Ends the current attempt quietly; an uncommitted file is discarded with its temporary.
void PictureFetch::dropAttempt()
{
    m_stallTimer.stop();
    dropReply();
    m_file.reset();
}

void PictureFetch::dropReply()
{
    if (m_reply) {
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
}

} // namespace talvesk
