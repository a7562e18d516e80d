// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests. It runs in the thread that created it and
// answers while that thread's event loop runs (a nested wait in the code under test counts).
//
//   LocalHttpServer server;                                   // listens on a free port
//   server.route("/a.png", HttpResponse::ok(pngBytes, "image/png"));
//   server.route("/gone.jpg", HttpResponse::withStatus(404, "<html>not found</html>"));
//   server.route("/slow.jpg", HttpResponse::ok(bytes).delayedBy(200));
//   server.route("/cut.jpg", HttpResponse::ok(bytes).sendingOnly(100, HttpResponse::Ending::Close));
//   server.route("/stall.jpg", HttpResponse::ok(bytes).sendingOnly(0, HttpResponse::Ending::Hang));
//   server.route("/old.jpg", HttpResponse::redirect("/a.png"));
//   server.route("/endless.jpg", HttpResponse::endless());           // no length, bytes for ever
//   server.route("/trickle.jpg", HttpResponse::endless().trickling(50)); // one byte every 50 ms
//   server.route("/bytewise.png", HttpResponse::ok(pngBytes, "image/png").trickling(1));
//   server.route("/hint.jpg", HttpResponse::ok(bytes).precededBy(103, 50)); // 103, then 50 ms later the
//   answer server.route("/packed.jpg", HttpResponse::ok(bytes).withHeader("Content-Encoding", "x-pack"));
//   server.setFallback([](const HttpRequest &r) { ... });     // for paths without a route
//   server.hold("/late.htm"); ... server.release("/late.htm"); // answered once the test says so
//   QUrl url = server.url("/a.png");
//
// Connections are kept alive unless the request asks to close them; the requests of one
// connection are answered in order, each after the one before has been sent.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace talvesk::test {

struct HttpRequest
{
    QByteArray method;
    QByteArray path; // with its query, as sent
    QList<QPair<QByteArray, QByteArray>> headers;
    qint64 receivedAtMs = 0; // by the wall clock, when its head had arrived

    QByteArray header(const QByteArray &name) const;
};

struct HttpResponse
{
    enum class Ending {
        Normal,  // the whole response, connection kept alive
        Close,   // close the connection after what was sent
        Hang,    // send nothing more and never close
        Endless, // no length; body bytes for ever, as fast as the client takes them
    };

    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int delayMs = 0;       // before anything is sent
    qint64 bodyBytes = -1; // how much of the body is sent; -1 for all of it
    Ending ending = Ending::Normal;
    int trickleMs = 0;      // one body byte at this interval instead of all at once
    int interimStatus = 0;  // a 1xx sent before the answer, 0 for none
    int interimPauseMs = 0; // between the interim and the real answer

    static HttpResponse ok(const QByteArray &body,
                           const QByteArray &contentType = "application/octet-stream");
    static HttpResponse html(const QString &markup);
    static HttpResponse withStatus(int status, const QByteArray &body = {});
    static HttpResponse redirect(const QByteArray &location, int status = 302);
    static HttpResponse endless(const QByteArray &contentType = "image/jpeg");

    HttpResponse delayedBy(int ms) const;
    HttpResponse sendingOnly(qint64 bytes, Ending end) const;
    HttpResponse trickling(int intervalMs) const;
    HttpResponse precededBy(int interim, int pauseMs) const;
    HttpResponse withHeader(const QByteArray &name, const QByteArray &value) const;
};

class LocalHttpServer final : public QObject
{
    Q_OBJECT

public:
    explicit LocalHttpServer(QObject *parent = nullptr);
    ~LocalHttpServer() override;

    quint16 port() const;
    QUrl url(const QString &path) const;

    void route(const QString &path, const HttpResponse &response);
    // Answers the requests for path with these responses in turn, the last one from then on.
    void routeInTurn(const QString &path, const QList<HttpResponse> &responses);
    void setFallback(std::function<HttpResponse(const HttpRequest &)> fallback);
    // Adds ms before every response, as a distant server's round trip would.
    void setAddedDelay(int ms) { m_addedDelayMs = ms; }
    // Requests for path are received but not answered until release(path), which answers the
    // waiting ones (each as its route says) and lets later ones through at once.
    void hold(const QString &path);
    void release(const QString &path);

    // Every request received so far, in order of arrival.
    const QList<HttpRequest> &requests() const { return m_requests; }
    int requestCount(const QString &path) const;
    // Connections accepted so far; shows how well clients keep theirs alive.
    int connectionCount() const { return m_connections; }

private:
    void acceptConnections();
    void readRequests(QTcpSocket *socket);
    void answerNext(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const HttpRequest &request);
    // whenFree runs once the connection may carry the next answer.
    static void send(QTcpSocket *socket, const HttpResponse &response, bool closeAfter,
                     const std::function<void()> &whenFree);
    static void stream(QTcpSocket *socket, const HttpResponse &response);

    QTcpServer *m_server;
    QHash<QString, HttpResponse> m_routes;
    QHash<QString, QList<HttpResponse>> m_turns; // by path: the responses still to come before the route
    std::function<HttpResponse(const HttpRequest &)> m_fallback;
    QList<HttpRequest> m_requests;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QHash<QTcpSocket *, QList<HttpRequest>> m_unanswered; // the first one is being answered
    int m_connections = 0;
    int m_addedDelayMs = 0;
    QHash<QString, QList<std::function<void()>>> m_held; // by path: the answers waiting for release
};

} // namespace talvesk::test
