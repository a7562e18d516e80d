// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LocalHttpServer.h"

#include <QDateTime>

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace talvesk::test {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 103:
        return "Early Hints";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// An answer without a body, by its status.
bool isBodiless(int status)
{
    return status < 200 || status == 204 || status == 304;
}

QByteArray statusLine(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
}

} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpResponse HttpResponse::ok(const QByteArray &body, const QByteArray &contentType)
{
    HttpResponse response;
    response.body = body;
    response.headers.append({"Content-Type", contentType});
    return response;
}

HttpResponse HttpResponse::html(const QString &markup)
{
    return ok(markup.toUtf8(), "text/html; charset=utf-8");
}

HttpResponse HttpResponse::withStatus(int status, const QByteArray &body)
{
    HttpResponse response = ok(body, "text/html; charset=utf-8");
    response.status = status;
    return response;
}

HttpResponse HttpResponse::redirect(const QByteArray &location, int status)
{
    HttpResponse response;
    response.status = status;
    response.headers.append({"Location", location});
    return response;
}

HttpResponse HttpResponse::endless(const QByteArray &contentType)
{
    // Starts as a JPEG would, so a client that checks the first bytes reads on.
    HttpResponse response = ok(QByteArray("\xff\xd8\xff", 3) + QByteArray(64 * 1024 - 3, 'e'), contentType);
    response.ending = Ending::Endless;
    return response;
}

HttpResponse HttpResponse::trickling(int intervalMs) const
{
    HttpResponse response = *this;
    response.trickleMs = intervalMs;
    return response;
}

HttpResponse HttpResponse::precededBy(int interim, int pauseMs) const
{
    HttpResponse response = *this;
    response.interimStatus = interim;
    response.interimPauseMs = pauseMs;
    return response;
}

HttpResponse HttpResponse::withHeader(const QByteArray &name, const QByteArray &value) const
{
    HttpResponse response = *this;
    response.headers.append({name, value});
    return response;
}

HttpResponse HttpResponse::delayedBy(int ms) const
{
    HttpResponse response = *this;
    response.delayMs = ms;
    return response;
}

HttpResponse HttpResponse::sendingOnly(qint64 bytes, Ending end) const
{
    HttpResponse response = *this;
    response.bodyBytes = bytes;
    response.ending = end;
    return response;
}

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        qFatal("LocalHttpServer: cannot listen on 127.0.0.1: %s", qPrintable(m_server->errorString()));
    connect(m_server, &QTcpServer::newConnection, this, &LocalHttpServer::acceptConnections);
}

LocalHttpServer::~LocalHttpServer() = default;

quint16 LocalHttpServer::port() const
{
    return m_server->serverPort();
}

QUrl LocalHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void LocalHttpServer::route(const QString &path, const HttpResponse &response)
{
    m_routes.insert(path, response);
    m_turns.remove(path);
}

void LocalHttpServer::routeInTurn(const QString &path, const QList<HttpResponse> &responses)
{
    if (responses.isEmpty())
        return;
    m_routes.insert(path, responses.last());
    m_turns.insert(path, responses.mid(0, responses.size() - 1));
}

void LocalHttpServer::setFallback(std::function<HttpResponse(const HttpRequest &)> fallback)
{
    m_fallback = std::move(fallback);
}

void LocalHttpServer::hold(const QString &path)
{
    m_held.insert(path, {});
}

void LocalHttpServer::release(const QString &path)
{
    const QList<std::function<void()>> waiting = m_held.take(path);
    for (const std::function<void()> &answer : waiting)
        answer();
}

int LocalHttpServer::requestCount(const QString &path) const
{
    const QByteArray wanted = path.toUtf8();
    return static_cast<int>(std::count_if(m_requests.cbegin(), m_requests.cend(),
                                          [&](const HttpRequest &r) { return r.path == wanted; }));
}

void LocalHttpServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        ++m_connections;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            m_unanswered.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::readRequests(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    // A TLS handshake (an "https:" address of this server) would wait for an HTTP request
    // for good: refuse it at once, as a server without TLS does.
    if (buffer.startsWith('\x16')) {
        socket->abort();
        return;
    }
    for (;;) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);

        HttpRequest request;
        request.receivedAtMs = QDateTime::currentMSecsSinceEpoch();
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        m_requests.append(request);
        QList<HttpRequest> &unanswered = m_unanswered[socket];
        unanswered.append(request);
        if (unanswered.size() == 1)
            answerNext(socket);
    }
}

void LocalHttpServer::answerNext(QTcpSocket *socket)
{
    const QList<HttpRequest> unanswered = m_unanswered.value(socket);
    if (!unanswered.isEmpty())
        respond(socket, unanswered.first());
}

void LocalHttpServer::respond(QTcpSocket *socket, const HttpRequest &request)
{
    const QString path = QString::fromUtf8(request.path);
    HttpResponse response;
    if (QList<HttpResponse> &turns = m_turns[path]; !turns.isEmpty())
        response = turns.takeFirst();
    else if (m_routes.contains(path))
        response = m_routes.value(path);
    else if (m_fallback)
        response = m_fallback(request);
    else
        response = HttpResponse::withStatus(404, "<html><body>no such page</body></html>");
    response.delayMs += m_addedDelayMs;

    const bool closeAfter = request.header("Connection").compare("close", Qt::CaseInsensitive) == 0;
    const auto later = [this](int ms, const std::function<void()> &step) {
        if (ms <= 0)
            step();
        else
            QTimer::singleShot(ms, this, step);
    };
    QPointer<QTcpSocket> guarded(socket);
    const auto answerFollowing = [this, guarded] {
        const auto unanswered = guarded ? m_unanswered.find(guarded) : m_unanswered.end();
        if (unanswered == m_unanswered.end() || unanswered->isEmpty())
            return; // the connection has gone meanwhile
        unanswered->removeFirst();
        answerNext(guarded);
    };
    const auto answer = [guarded, response, closeAfter, answerFollowing] {
        if (guarded)
            send(guarded, response, closeAfter, answerFollowing);
    };
    const auto start = [guarded, response, answer, later] {
        if (!guarded)
            return;
        if (response.interimStatus == 0) {
            answer();
            return;
        }
        QByteArray interim = statusLine(response.interimStatus);
        if (response.interimStatus == 103)
            interim += "Link: </hint.css>; rel=preload; as=style\r\n";
        guarded->write(interim + "\r\n");
        later(response.interimPauseMs, answer);
    };
    const auto held = m_held.find(path);
    if (held != m_held.end())
        held->append([later, delay = response.delayMs, start] { later(delay, start); });
    else
        later(response.delayMs, start);
}

void LocalHttpServer::send(QTcpSocket *socket, const HttpResponse &response, bool closeAfter,
                           const std::function<void()> &whenFree)
{
    QByteArray head = statusLine(response.status);
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (response.ending == HttpResponse::Ending::Endless) {
        socket->write(head + "\r\n");
        stream(socket, response);
        return;
    }
    const bool bodiless = isBodiless(response.status);
    if (!bodiless)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (closeAfter)
        head += "Connection: close\r\n";
    head += "\r\n";
    socket->write(head);
    const QByteArray body =
        bodiless ? QByteArray()
                 : response.body.left(response.bodyBytes < 0 ? response.body.size() : response.bodyBytes);

    // A hang after a whole body leaves a complete answer: the client may send its next request.
    const bool whole = body.size() == response.body.size() && !bodiless;
    const auto end = [socket, ending = response.ending, closeAfter, whenFree, whole] {
        switch (ending) {
        case HttpResponse::Ending::Normal:
            if (closeAfter)
                socket->disconnectFromHost();
            else
                whenFree();
            break;
        case HttpResponse::Ending::Close:
            socket->flush();
            socket->abort();
            break;
        case HttpResponse::Ending::Hang:
            if (whole)
                whenFree();
            break;
        case HttpResponse::Ending::Endless:
            break;
        }
    };
    if (response.trickleMs <= 0 || body.isEmpty()) {
        socket->write(body);
        end();
        return;
    }
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, end, sent = qsizetype(0)]() mutable {
        socket->write(body.constData() + sent++, 1);
        if (sent == body.size()) {
            timer->deleteLater();
            timer->stop();
            end();
        }
    });
    timer->start(response.trickleMs);
}

// Keeps at most one body's worth unsent, so the server's own memory stays flat however long
// the client keeps reading.
void LocalHttpServer::stream(QTcpSocket *socket, const HttpResponse &response)
{
    const QByteArray chunk = response.body;
    if (response.trickleMs > 0) {
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, chunk, sent = qsizetype(0)]() mutable {
            socket->write(chunk.constData() + sent++ % chunk.size(), 1);
        });
        timer->start(response.trickleMs);
        return;
    }
    const auto refill = [socket, chunk] {
        while (socket->bytesToWrite() < chunk.size())
            socket->write(chunk);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

} // namespace talvesk::test
