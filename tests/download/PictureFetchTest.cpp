#include "download/PictureFetch.h"
#include "download/FetchQueue.h"
#include "download/PathJoin.h"
#include "support/LocalHttpServer.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

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

class PictureFetchTest : public ::testing::Test
{
protected:
    // Fetches one address into folder/name and waits (bounded) for the outcome.
    FetchResult fetch(const QUrl &url, const QString &name = QStringLiteral("p.jpg"))
    {
        PictureFetch saver(m_manager, m_options, url.toString(), joinPath(m_dir.path(), name));
        QEventLoop loop;
        QObject::connect(&saver, &PictureFetch::finished, &loop, &QEventLoop::quit);
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
        o.stallWindowMs = 300;
        return o;
    }();
};

} // namespace

// A 200 response is written byte for byte, with no temporary file left beside it.
TEST_F(PictureFetchTest, WritesTheBodyExactly)
{
    const QByteArray body = randomBytes(300 * 1024);
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok(body, "image/jpeg"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")));
    EXPECT_TRUE(result.saved) << qPrintable(result.reason);
    EXPECT_EQ(readFile(file()), body);
    EXPECT_EQ(entries(m_dir.path()), QStringList{QStringLiteral("p.jpg")});
}

// An empty 200 body still gives a (empty) file.
TEST_F(PictureFetchTest, WritesAnEmptyBody)
{
    m_server.route(QStringLiteral("/e.jpg"), HttpResponse::ok({}));
    EXPECT_TRUE(fetch(m_server.url(QStringLiteral("/e.jpg"))).saved);
    EXPECT_TRUE(QFile::exists(file()));
    EXPECT_EQ(QFile(file()).size(), 0);
}

// A file already under the picture's name is never replaced: names within one download are
// unique, so it belongs to something else.
TEST_F(PictureFetchTest, KeepsAFileAlreadyThere)
{
    QFile old(file());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'X'));
    old.close();
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok("short"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.reason, QStringLiteral("同名文件已存在"));
    EXPECT_EQ(readFile(file()), QByteArray(10000, 'X'));
    EXPECT_EQ(entries(m_dir.path()), QStringList{QStringLiteral("p.jpg")});
}

// Error statuses write nothing and say which status came; 4xx is not retried, 5xx twice.
TEST_F(PictureFetchTest, ErrorStatusWritesNoFile)
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
TEST_F(PictureFetchTest, RetriesATransientServerError)
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
TEST_F(PictureFetchTest, CutConnectionWritesNoFile)
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
TEST_F(PictureFetchTest, RefusedConnectionWritesNoFile)
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

// A server that stops sending mid-body, or trickles a byte now and then, is given up after
// the stall window (and retried); one that sends slowly for ever is given up at the deadline.
TEST_F(PictureFetchTest, StalledTricklingAndEndlessTransfersTimeOut)
{
    m_server.route(QStringLiteral("/stall.jpg"),
                   HttpResponse::ok(randomBytes(50000)).sendingOnly(1000, HttpResponse::Ending::Hang));
    m_server.route(QStringLiteral("/trickle.jpg"), HttpResponse::endless().trickling(20));
    for (const QString &path : {QStringLiteral("/stall.jpg"), QStringLiteral("/trickle.jpg")}) {
        const FetchResult result = fetch(m_server.url(path));
        EXPECT_FALSE(result.saved) << qPrintable(path);
        EXPECT_EQ(result.reason, QStringLiteral("超时")) << qPrintable(path);
        EXPECT_EQ(m_server.requestCount(path), 3) << qPrintable(path);
    }

    m_options.stallMinBytes = 1;
    m_options.deadlineMs = 1000;
    const FetchResult endless = fetch(m_server.url(QStringLiteral("/trickle.jpg")));
    EXPECT_FALSE(endless.saved);
    EXPECT_EQ(endless.reason, QStringLiteral("超时"));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/trickle.jpg")), 4);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// Redirects are followed and the final body is saved.
TEST_F(PictureFetchTest, FollowsRedirects)
{
    m_server.route(QStringLiteral("/new.jpg"), HttpResponse::ok("moved here"));
    m_server.route(QStringLiteral("/old.jpg"), HttpResponse::redirect("/new.jpg"));
    EXPECT_TRUE(fetch(m_server.url(QStringLiteral("/old.jpg"))).saved);
    EXPECT_EQ(readFile(file()), QByteArray("moved here"));
}

// Bodies over the size limit are refused once, by their declared length or while they
// arrive without one, and nothing is written.
TEST_F(PictureFetchTest, RefusesOversizedBodies)
{
    m_options.maxBodyBytes = 1024 * 1024;
    m_server.route(QStringLiteral("/big.jpg"), HttpResponse::ok(randomBytes(2 * 1024 * 1024)));
    m_server.route(QStringLiteral("/endless.jpg"), HttpResponse::endless());
    for (const QString &path : {QStringLiteral("/big.jpg"), QStringLiteral("/endless.jpg")}) {
        const FetchResult result = fetch(m_server.url(path));
        EXPECT_FALSE(result.saved) << qPrintable(path);
        EXPECT_EQ(result.reason, QStringLiteral("图片超过1MB")) << qPrintable(path);
        EXPECT_EQ(m_server.requestCount(path), 1) << qPrintable(path);
    }
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// Only web addresses are fetched, also at the end of a redirect: a local file (even one that
// would block any reader, a FIFO) or inline data is never read or saved.
TEST_F(PictureFetchTest, FetchesOnlyWebAddresses)
{
#ifdef Q_OS_UNIX
    const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("fifo")));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const QString fifoAddress = QStringLiteral("file:") + QFile::decodeName(fifo);
#else
    const QString fifoAddress = QStringLiteral("file:///C:/Windows/win.ini");
#endif
    m_server.route(QStringLiteral("/to-file.jpg"), HttpResponse::redirect("file:///etc/hostname"));
    const QStringList addresses{fifoAddress, QStringLiteral("file:/etc/passwd?.jpg"),
                                QStringLiteral("data:image/jpeg;base64,/9j/4AAQ"),
                                QStringLiteral("ftp://h/a.jpg"),
                                m_server.url(QStringLiteral("/to-file.jpg")).toString()};
    for (const QString &address : addresses) {
        const FetchResult result = fetch(QUrl(address), QStringLiteral("out.jpg"));
        EXPECT_FALSE(result.saved) << qPrintable(address);
        EXPECT_EQ(result.reason, QStringLiteral("不支持的地址类型")) << qPrintable(address);
        EXPECT_FALSE(QFile::exists(file(QStringLiteral("out.jpg")))) << qPrintable(address);
    }
}

// Answers that are not a picture fail with a reason that says what they were: a web page in
// the picture's place, a redirect loop, a body that does not decompress.
TEST_F(PictureFetchTest, ExplainsAnswersThatAreNoPicture)
{
    m_server.route(QStringLiteral("/login.jpg"),
                   HttpResponse::ok("<html>login</html>", "text/html; charset=utf-8"));
    HttpResponse loop = HttpResponse::redirect("/loop.jpg").delayedBy(1);
    m_server.route(QStringLiteral("/loop.jpg"), loop);
    HttpResponse garbled =
        HttpResponse::ok(QByteArray::fromHex("1f8b0800000000000003") + QByteArray(200, 'q'), "image/jpeg");
    garbled.headers.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("gzip")));
    m_server.route(QStringLiteral("/garbled.jpg"), garbled);

    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("/loop.jpg"), QStringLiteral("重定向次数过多")},
        {QStringLiteral("/login.jpg"), QStringLiteral("不是图片(text/html)")},
        {QStringLiteral("/garbled.jpg"), QStringLiteral("图片数据解压失败(gzip)")},
    };
    for (const auto &[path, reason] : cases) {
        const FetchResult result = fetch(m_server.url(path));
        EXPECT_FALSE(result.saved) << qPrintable(path);
        EXPECT_EQ(result.reason, reason) << qPrintable(path);
    }
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A full disk is named as such, and the partial picture is removed.
TEST_F(PictureFetchTest, ReportsAFullDisk)
{
#ifdef Q_OS_LINUX
    const QByteArray target = QFile::encodeName(m_dir.path());
    if (mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    m_server.route(QStringLiteral("/big.jpg"), HttpResponse::ok(randomBytes(200 * 1024), "image/jpeg"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/big.jpg")));
    const QStringList left = entries(m_dir.path());
    umount2(target.constData(), MNT_DETACH);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.reason, QStringLiteral("磁盘空间不足"));
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(QLatin1Char(',')));
#else
    GTEST_SKIP() << "needs a small file system of its own";
#endif
}

// A file that cannot be written (its folder is missing) is reported.
TEST_F(PictureFetchTest, ReportsAnUnwritableFile)
{
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok("x"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")), QStringLiteral("missing/p.jpg"));
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.reason.startsWith(QStringLiteral("无法写入文件:"))) << qPrintable(result.reason);
}

// The queue never runs more fetches than allowed and reports failures in the order added.
TEST_F(PictureFetchTest, QueueBoundsConcurrencyAndKeepsOrder)
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
