// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LocalHttpServer.h"

#include "app/WaitUntil.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <gtest/gtest.h>

using talvesk::test::HttpResponse;
using talvesk::test::LocalHttpServer;

namespace {

struct Fetched
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
};

Fetched fetch(QNetworkAccessManager &manager, const QUrl &url, int limitMs = 5000)
{
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    talvesk::test::waitUntil([reply] { return reply->isFinished(); }, limitMs);
    Fetched result;
    result.error = reply->isFinished() ? reply->error() : QNetworkReply::TimeoutError;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    reply->abort();
    reply->deleteLater();
    return result;
}

} // namespace

// Routes answer with their bodies and statuses; unknown paths get a 404; redirects are followed.
TEST(LocalHttpServer, AnswersRoutesStatusesAndRedirects)
{
    LocalHttpServer server;
    server.route(QStringLiteral("/a.bin"), HttpResponse::ok(QByteArray("\x00\x01\x02", 3)));
    server.route(QStringLiteral("/old"), HttpResponse::redirect("/a.bin"));
    QNetworkAccessManager manager;

    const Fetched ok = fetch(manager, server.url(QStringLiteral("/a.bin")));
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body, QByteArray("\x00\x01\x02", 3));

    const Fetched missing = fetch(manager, server.url(QStringLiteral("/nothing")));
    EXPECT_EQ(missing.status, 404);

    const Fetched moved = fetch(manager, server.url(QStringLiteral("/old")));
    EXPECT_EQ(moved.status, 200);
    EXPECT_EQ(moved.body, QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(server.requestCount(QStringLiteral("/a.bin")), 2);
}

// A cut response ends in a network error, and a hanging one never finishes.
TEST(LocalHttpServer, CutsAndHangsOnRequest)
{
    LocalHttpServer server;
    const QByteArray body(1000, 'x');
    server.route(QStringLiteral("/cut"), HttpResponse::ok(body).sendingOnly(10, HttpResponse::Ending::Close));
    server.route(QStringLiteral("/hang"), HttpResponse::ok(body).sendingOnly(0, HttpResponse::Ending::Hang));
    QNetworkAccessManager manager;

    EXPECT_NE(fetch(manager, server.url(QStringLiteral("/cut"))).error, QNetworkReply::NoError);
    EXPECT_EQ(fetch(manager, server.url(QStringLiteral("/hang")), 300).error, QNetworkReply::TimeoutError);
}
