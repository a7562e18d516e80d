#include "support/LocalHttpServer.h"

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
    case 200:
        return "OK";
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
    HttpResponse response = ok(QByteArray(64 * 1024, 'e'), contentType);
    response.ending = Ending::Endless;
    return response;
}

HttpResponse HttpResponse::trickling(int intervalMs) const
{
    HttpResponse response = *this;
    response.trickleMs = intervalMs;
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
}

void LocalHttpServer::setFallback(std::function<HttpResponse(const HttpRequest &)> fallback)
{
    m_fallback = std::move(fallback);
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
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::readRequests(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);

        HttpRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        m_requests.append(request);
        respond(socket, request);
    }
}

void LocalHttpServer::respond(QTcpSocket *socket, const HttpRequest &request)
{
    const QString path = QString::fromUtf8(request.path);
    HttpResponse response;
    if (m_routes.contains(path))
        response = m_routes.value(path);
    else if (m_fallback)
        response = m_fallback(request);
    else
        response = HttpResponse::withStatus(404, "<html><body>no such page</body></html>");
    response.delayMs += m_addedDelayMs;

    const bool closeAfter = request.header("Connection").compare("close", Qt::CaseInsensitive) == 0;
    if (response.delayMs <= 0) {
        send(socket, response, closeAfter);
        return;
    }
    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(response.delayMs, this, [guarded, response, closeAfter] {
        if (guarded)
            send(guarded, response, closeAfter);
    });
}

void LocalHttpServer::send(QTcpSocket *socket, const HttpResponse &response, bool closeAfter)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (response.ending == HttpResponse::Ending::Endless) {
        socket->write(head + "\r\n");
        stream(socket, response);
        return;
    }
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (closeAfter)
        head += "Connection: close\r\n";
    head += "\r\n";
    socket->write(head);
    socket->write(response.bodyBytes < 0 ? response.body : response.body.left(response.bodyBytes));

    switch (response.ending) {
    case HttpResponse::Ending::Normal:
        if (closeAfter)
            socket->disconnectFromHost();
        break;
    case HttpResponse::Ending::Close:
        socket->flush();
        socket->abort();
        break;
    case HttpResponse::Ending::Hang:
    case HttpResponse::Ending::Endless:
        break;
    }
}

// Keeps at most one body's worth unsent, so the server's own memory stays flat however long
// the client keeps reading.
void LocalHttpServer::stream(QTcpSocket *socket, const HttpResponse &response)
{
    if (response.trickleMs > 0) {
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write("t", 1); });
        timer->start(response.trickleMs);
        return;
    }
    const QByteArray chunk = response.body;
    const auto refill = [socket, chunk] {
        while (socket->bytesToWrite() < chunk.size())
            socket->write(chunk);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

} // namespace talvesk::test
