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

FetchFailure failureOf(FetchFailure::Kind kind)
{
    return FetchFailure{.kind = kind};
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
    connect(&m_deadline, &QTimer::timeout, this, [this] { settle(failureOf(FetchFailure::Kind::TimedOut)); });
}

PictureFetch::~PictureFetch()
{
    dropAttempt();
}

void PictureFetch::start()
{
    if (!isWebAddress(QUrl(m_result.address))) {
        settleLater(failureOf(FetchFailure::Kind::UnsupportedAddress));
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
        failAttempt(failureOf(FetchFailure::Kind::UnsupportedAddress), false);
    } else if (++m_redirects > kMaxRedirects) {
        failAttempt(failureOf(FetchFailure::Kind::TooManyRedirects), false);
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

FetchFailure PictureFetch::tooLarge() const
{
    const bool video = m_options.body == FetchOptions::Body::Video;
    return {.kind = video ? FetchFailure::Kind::VideoTooLarge : FetchFailure::Kind::PictureTooLarge,
            .limitBytes = maxBytes()};
}

FetchFailure PictureFetch::notPicture() const
{
    const bool video = m_options.body == FetchOptions::Body::Video;
    return {.kind = video ? FetchFailure::Kind::NotVideo : FetchFailure::Kind::NotPicture,
            .detail = QString::fromLatin1(declaredType(m_reply))};
}

void PictureFetch::checkHeaders()
{
    const int status = httpStatus(m_reply);
    if (refuseByStatus(status) || !isSuccess(status))
        return;
    if (isDocumentType(declaredType(m_reply))) {
        failAttempt(notPicture(), false);
        return;
    }
    // Refuse an oversized body before any of it arrives.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBytes())
        failAttempt(tooLarge(), false);
}

// True when the attempt has failed for a status no retry can mend.
bool PictureFetch::refuseByStatus(int status)
{
    if (isInterim(status)) {
        refuseInterimAnswer(status);
        return true;
    }
    if (status == 206) { // a part, and we never ask for one
        failAttempt({.kind = FetchFailure::Kind::HttpStatus, .code = status}, false);
        return true;
    }
    return false;
}

void PictureFetch::refuseInterimAnswer(int status)
{
    dropReply();
    Q_EMIT sharedConnectionsClosing();
    m_manager.clearConnectionCache();
    failAttempt({.kind = FetchFailure::Kind::InterimAnswer, .code = status}, false);
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
        failAttempt(tooLarge(), false);
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
            failAttempt(notPicture(), false);
            return false;
        }
        chunk = m_sniffer->takeStart();
    }
    if (!m_file) {
        m_file = std::make_unique<QSaveFile>(m_result.fileName);
        // Unbuffered: the chunks are already bounded, and a full disk shows at the write.
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            failAttempt(fileFailure(), false);
            return false;
        }
        m_hash.reset();
        m_written = 0;
    }
    // A short write is retried for the rest, which then tells why it failed (a full disk).
    for (qsizetype written = 0; written < chunk.size();) {
        const qint64 n = m_file->write(chunk.constData() + written, chunk.size() - written);
        if (n <= 0) {
            failAttempt(fileFailure(), false);
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
        failAttempt(failureOf(FetchFailure::Kind::TimedOut), true);
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
        failAttempt({.kind = FetchFailure::Kind::HttpStatus, .code = status}, status >= 500);
        return;
    }
    if (error != QNetworkReply::NoError) {
        failAttempt(networkFailure(), isTransient(error));
        return;
    }
    if (!readBody())
        return;
    if (isCutShort(m_reply, m_received)) {
        failAttempt(failureOf(FetchFailure::Kind::ConnectionCut), true);
        return;
    }
    if (m_received == 0) {
        failAttempt(failureOf(FetchFailure::Kind::Empty), false);
        return;
    }
    if (m_sniffer->finish() != PictureSniffer::Verdict::Picture) {
        failAttempt(notPicture(), false);
        return;
    }
    // Names within one download never repeat; a file there already is not ours to replace.
    const QFileInfo target(m_result.fileName);
    if (target.exists() || target.isSymLink()) {
        failAttempt(failureOf(FetchFailure::Kind::FileExists), false);
        return;
    }
    if (!m_file->commit()) {
        const QStorageInfo storage(target.absolutePath());
        const bool full = storage.isValid() && storage.bytesAvailable() < kNearlyFullBytes;
        failAttempt(failureOf(full ? FetchFailure::Kind::DiskFull : FetchFailure::Kind::CannotSave), false);
        return;
    }
    m_result.bytes = m_written;
    m_result.sha256 = m_hash.result().toHex();
    settle(std::nullopt);
}

FetchFailure PictureFetch::networkFailure() const
{
    switch (m_reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return failureOf(FetchFailure::Kind::ConnectionRefused);
    case QNetworkReply::RemoteHostClosedError:
        return failureOf(FetchFailure::Kind::ConnectionCut);
    case QNetworkReply::HostNotFoundError:
        return failureOf(FetchFailure::Kind::HostNotFound);
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return failureOf(FetchFailure::Kind::TimedOut);
    case QNetworkReply::UnknownContentError:
        if (m_reply->hasRawHeader("Content-Encoding"))
            return {.kind = FetchFailure::Kind::Undecodable,
                    .detail = QString::fromLatin1(m_reply->rawHeader("Content-Encoding"))};
        break;
    default:
        break;
    }
    return {
        .kind = FetchFailure::Kind::NetworkError, .code = m_reply->error(), .detail = m_reply->errorString()};
}

FetchFailure PictureFetch::fileFailure() const
{
    if (m_file->error() == QFileDevice::ResourceError)
        return failureOf(FetchFailure::Kind::DiskFull);
    return {.kind = FetchFailure::Kind::CannotWrite, .detail = m_file->errorString()};
}

void PictureFetch::failAttempt(const FetchFailure &failure, bool transient)
{
    dropAttempt();
    if (transient && m_attempts <= m_options.retries)
        startAttempt();
    else
        settle(failure);
}

void PictureFetch::settle(const std::optional<FetchFailure> &failure)
{
    dropAttempt();
    m_deadline.stop();
    m_result.saved = !failure;
    if (failure)
        m_result.failure = *failure;
    m_finished = true;
    Q_EMIT finished();
}

void PictureFetch::settleLater(const FetchFailure &failure)
{
    QMetaObject::invokeMethod(
        this,
        [this, failure] {
            if (!m_finished)
                settle(failure);
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
