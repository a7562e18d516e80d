#include "download/PicSaver.h"
#include "download/FetchQueue.h"
#include "download/PathJoin.h"
#include "support/LocalHttpServer.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace talvesk;
using talvesk::test::HttpRequest;
using talvesk::test::HttpResponse;
using talvesk::test::LocalHttpServer;

namespace {

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
}

class PicSaverTest : public ::testing::Test
{
protected:
    // Fetches one address into folder/name and waits (bounded) for the outcome.
    FetchResult fetch(const QUrl &url, const QString &name = QStringLiteral("p.jpg"))
    {
        PicSaver saver(m_manager, m_options, url.toString(), joinPath(m_dir.path(), name));
        QEventLoop loop;
        QObject::connect(&saver, &PicSaver::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        saver.start();
        if (!saver.isFinished())
            loop.exec();
        EXPECT_TRUE(saver.isFinished());
        return saver.result();
    }

    QString file(const QString &name = QStringLiteral("p.jpg")) const { return joinPath(m_dir.path(), name); }

    QTemporaryDir m_dir;
    LocalHttpServer m_server;
    QNetworkAccessManager m_manager;
    FetchOptions m_options = [] {
        FetchOptions o;
        o.stallLimitMs = 300;
        return o;
    }();
};

} // namespace

// A 200 response is written byte for byte, with no temporary file left beside it.
TEST_F(PicSaverTest, WritesTheBodyExactly)
{
    const QByteArray body = randomBytes(300 * 1024);
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok(body, "image/jpeg"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")));
    EXPECT_TRUE(result.saved) << qPrintable(result.reason);
    EXPECT_EQ(readFile(file()), body);
    EXPECT_EQ(entries(m_dir.path()), QStringList{QStringLiteral("p.jpg")});
}

// An empty 200 body still gives a (empty) file.
TEST_F(PicSaverTest, WritesAnEmptyBody)
{
    m_server.route(QStringLiteral("/e.jpg"), HttpResponse::ok({}));
    EXPECT_TRUE(fetch(m_server.url(QStringLiteral("/e.jpg"))).saved);
    EXPECT_TRUE(QFile::exists(file()));
    EXPECT_EQ(QFile(file()).size(), 0);
}

// A file of the same name is replaced whole, not overwritten from its start.
TEST_F(PicSaverTest, ReplacesAnExistingFileWhole)
{
    QFile old(file());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'X'));
    old.close();
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok("short"));
    EXPECT_TRUE(fetch(m_server.url(QStringLiteral("/a.jpg"))).saved);
    EXPECT_EQ(readFile(file()), QByteArray("short"));
}

// Error statuses write nothing and say which status came; 4xx is not retried, 5xx twice.
TEST_F(PicSaverTest, ErrorStatusWritesNoFile)
{
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404, "<html>not found</html>"));
    m_server.route(QStringLiteral("/broken.jpg"), HttpResponse::withStatus(500, "<html>oops</html>"));

    const FetchResult gone = fetch(m_server.url(QStringLiteral("/gone.jpg")));
    EXPECT_FALSE(gone.saved);
    EXPECT_EQ(gone.reason, QStringLiteral("HTTP 404"));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/gone.jpg")), 1);

    const FetchResult broken = fetch(m_server.url(QStringLiteral("/broken.jpg")));
    EXPECT_FALSE(broken.saved);
    EXPECT_EQ(broken.reason, QStringLiteral("HTTP 500"));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/broken.jpg")), 3);

    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A server error that passes is retried and the picture saved.
TEST_F(PicSaverTest, RetriesATransientServerError)
{
    const QByteArray body = randomBytes(5000);
    int calls = 0;
    m_server.setFallback([&](const HttpRequest &) {
        return ++calls == 1 ? HttpResponse::withStatus(500, "busy") : HttpResponse::ok(body);
    });
    const FetchResult result = fetch(m_server.url(QStringLiteral("/flaky.jpg")));
    EXPECT_TRUE(result.saved) << qPrintable(result.reason);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(readFile(file()), body);
}

// A connection cut in the middle of the body leaves no file, after the retries.
TEST_F(PicSaverTest, CutConnectionWritesNoFile)
{
    m_server.route(QStringLiteral("/cut.jpg"),
                   HttpResponse::ok(randomBytes(50000)).sendingOnly(20000, HttpResponse::Ending::Close));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/cut.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/cut.jpg")), 3);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A refused connection is reported and writes nothing.
TEST_F(PicSaverTest, RefusedConnectionWritesNoFile)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    const FetchResult result = fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/a.jpg").arg(closedPort)));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.reason, QStringLiteral("连接被拒绝"));
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A server that stops sending mid-body is given up after the stall limit, leaving no file.
TEST_F(PicSaverTest, StalledTransferWritesNoFile)
{
    m_server.route(QStringLiteral("/stall.jpg"),
                   HttpResponse::ok(randomBytes(50000)).sendingOnly(1000, HttpResponse::Ending::Hang));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/stall.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.reason.contains(QStringLiteral("超时"))) << qPrintable(result.reason);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/stall.jpg")), 3);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// Redirects are followed and the final body is saved.
TEST_F(PicSaverTest, FollowsRedirects)
{
    m_server.route(QStringLiteral("/new.jpg"), HttpResponse::ok("moved here"));
    m_server.route(QStringLiteral("/old.jpg"), HttpResponse::redirect("/new.jpg"));
    EXPECT_TRUE(fetch(m_server.url(QStringLiteral("/old.jpg"))).saved);
    EXPECT_EQ(readFile(file()), QByteArray("moved here"));
}

// Bodies over the size limit are refused, once, and nothing is written.
TEST_F(PicSaverTest, RefusesOversizedBodies)
{
    m_options.maxBodyBytes = 1000;
    m_server.route(QStringLiteral("/big.jpg"), HttpResponse::ok(randomBytes(2000)));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/big.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.reason, QStringLiteral("图片过大(超过1000字节)"));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/big.jpg")), 1);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A file that cannot be written (its folder is missing) is reported.
TEST_F(PicSaverTest, ReportsAnUnwritableFile)
{
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok("x"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")), QStringLiteral("missing/p.jpg"));
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.reason.startsWith(QStringLiteral("无法写入文件:"))) << qPrintable(result.reason);
}

// The queue never runs more fetches than allowed and reports failures in the order added.
TEST_F(PicSaverTest, QueueBoundsConcurrencyAndKeepsOrder)
{
    int running = 0;
    int most = 0;
    m_server.setFallback([&](const HttpRequest &request) {
        most = std::max(most, ++running);
        QTimer::singleShot(30, &m_server, [&running] { --running; });
        if (request.path.endsWith("bad"))
            return HttpResponse::withStatus(404).delayedBy(30);
        return HttpResponse::ok(request.path).delayedBy(30);
    });
    FetchQueue queue(m_manager, m_options, 3);
    for (int i = 0; i < 12; ++i) {
        const QString name =
            QStringLiteral("/%1%2").arg(i).arg(i % 5 == 0 ? QStringLiteral("bad") : QString());
        queue.add(m_server.url(name).toString(), file(QString::number(i)));
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (queue.isIdle())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(queue.isIdle());
    EXPECT_LE(most, 3);
    EXPECT_GE(most, 2);
    const QList<FetchResult> failed = queue.failures();
    ASSERT_EQ(failed.size(), 3);
    EXPECT_TRUE(failed[0].address.endsWith(QStringLiteral("/0bad")));
    EXPECT_TRUE(failed[1].address.endsWith(QStringLiteral("/5bad")));
    EXPECT_TRUE(failed[2].address.endsWith(QStringLiteral("/10bad")));
    EXPECT_EQ(readFile(file(QStringLiteral("7"))), QByteArray("/7"));
}
