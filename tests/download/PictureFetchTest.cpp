// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/PictureFetch.h"
#include "app/WaitUntil.h"
#include "download/FetchQueue.h"
#include "download/PathJoin.h"
#include "support/DownloadFailurePrinter.h"
#include "support/Files.h"
#include "support/LocalHttpServer.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

using namespace talvesk;
using talvesk::test::entries;
using talvesk::test::HttpRequest;
using talvesk::test::HttpResponse;
using talvesk::test::LocalHttpServer;
using talvesk::test::readFile;
using talvesk::test::waitUntil;
using Kind = talvesk::FetchFailure::Kind;

namespace {

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// Random bytes that start as a JPEG does, so the fetch takes them for a picture.
QByteArray pictureBytes(int size)
{
    return QByteArray("\xff\xd8\xff", 3) + randomBytes(size - 3);
}

// Answers every request with a body shorter than its declared length and no error, as the
// network layer may when the server's close races with its last read.
class ShortBodyNetwork final : public QNetworkAccessManager
{
public:
    int requests = 0;

protected:
    QNetworkReply *createRequest(Operation, const QNetworkRequest &request, QIODevice *) override
    {
        ++requests;
        return new Reply(request, pictureBytes(20000), 50000, this);
    }

private:
    class Reply final : public QNetworkReply
    {
    public:
        Reply(const QNetworkRequest &request, QByteArray body, qint64 declared, QObject *parent)
            : QNetworkReply(parent), m_body(std::move(body))
        {
            setRequest(request);
            setUrl(request.url());
            setOperation(QNetworkAccessManager::GetOperation);
            setAttribute(QNetworkRequest::HttpStatusCodeAttribute, 200);
            setRawHeader("Content-Type", "image/jpeg");
            setHeader(QNetworkRequest::ContentLengthHeader, declared);
            open(QIODevice::ReadOnly | QIODevice::Unbuffered);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    Q_EMIT metaDataChanged();
                    Q_EMIT readyRead();
                    setFinished(true);
                    Q_EMIT finished();
                },
                Qt::QueuedConnection);
        }
        void abort() override {}
        qint64 bytesAvailable() const override
        {
            return m_body.size() - m_read + QNetworkReply::bytesAvailable();
        }

    protected:
        qint64 readData(char *data, qint64 max) override
        {
            const qint64 n = std::min(max, m_body.size() - m_read);
            std::copy_n(m_body.constData() + m_read, n, data);
            m_read += n;
            return n;
        }

    private:
        QByteArray m_body;
        qint64 m_read = 0;
    };
};

class PictureFetchTest : public ::testing::Test
{
protected:
    // Fetches one address into folder/name and waits (bounded) for the outcome.
    FetchResult fetch(const QUrl &url, const QString &name = QStringLiteral("p.jpg"))
    {
        return fetch(m_manager, url, name);
    }

    FetchResult fetch(QNetworkAccessManager &manager, const QUrl &url,
                      const QString &name = QStringLiteral("p.jpg"))
    {
        PictureFetch saver(manager, m_options, url.toString(), joinPath(m_dir.path(), name));
        bool finished = false;
        QObject::connect(&saver, &PictureFetch::finished, &saver, [&finished] { finished = true; });
        saver.start(); // finishes from the event loop, never before it returns
        EXPECT_TRUE(waitUntil([&] { return finished; }));
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
    const QByteArray body = pictureBytes(300 * 1024);
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok(body, "image/jpeg"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")));
    EXPECT_TRUE(result.saved) << testing::PrintToString(result.failure);
    EXPECT_EQ(readFile(file()), body);
    EXPECT_EQ(entries(m_dir.path()), QStringList{QStringLiteral("p.jpg")});
}

// A file already under the picture's name is never replaced: names within one download are
// unique, so it belongs to something else.
TEST_F(PictureFetchTest, KeepsAFileAlreadyThere)
{
    QFile old(file());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'X'));
    old.close();
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok(pictureBytes(100)));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failure.kind, Kind::FileExists);
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
    EXPECT_EQ(gone.failure, (FetchFailure{.kind = Kind::HttpStatus, .code = 404}));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/gone.jpg")), 1);

    const FetchResult broken = fetch(m_server.url(QStringLiteral("/broken.jpg")));
    EXPECT_FALSE(broken.saved);
    EXPECT_EQ(broken.failure, (FetchFailure{.kind = Kind::HttpStatus, .code = 500}));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/broken.jpg")), 3);

    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A server error that passes is retried and the picture saved.
TEST_F(PictureFetchTest, RetriesATransientServerError)
{
    const QByteArray body = pictureBytes(5000);
    int calls = 0;
    m_server.setFallback([&](const HttpRequest &) {
        return ++calls == 1 ? HttpResponse::withStatus(500, "busy") : HttpResponse::ok(body);
    });
    const FetchResult result = fetch(m_server.url(QStringLiteral("/flaky.jpg")));
    EXPECT_TRUE(result.saved) << testing::PrintToString(result.failure);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(readFile(file()), body);
}

// A body cut short leaves no file after the retries, also when the network layer reports no error.
TEST_F(PictureFetchTest, CutConnectionWritesNoFile)
{
    m_server.route(QStringLiteral("/cut.jpg"),
                   HttpResponse::ok(pictureBytes(50000)).sendingOnly(20000, HttpResponse::Ending::Close));
    FetchResult result = fetch(m_server.url(QStringLiteral("/cut.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failure.kind, Kind::ConnectionCut);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/cut.jpg")), 3);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());

    ShortBodyNetwork network;
    result = fetch(network, QUrl(QStringLiteral("http://127.0.0.1/short.jpg")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failure.kind, Kind::ConnectionCut);
    EXPECT_EQ(network.requests, 3);
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
    EXPECT_EQ(result.failure.kind, Kind::ConnectionRefused);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A server that stops sending mid-body, or trickles a byte now and then, is given up after
// the stall window (and retried); one that sends slowly for ever is given up at the deadline.
TEST_F(PictureFetchTest, StalledTricklingAndEndlessTransfersTimeOut)
{
    m_server.route(QStringLiteral("/stall.jpg"),
                   HttpResponse::ok(pictureBytes(50000)).sendingOnly(1000, HttpResponse::Ending::Hang));
    m_server.route(QStringLiteral("/trickle.jpg"), HttpResponse::endless().trickling(20));
    for (const QString &path : {QStringLiteral("/stall.jpg"), QStringLiteral("/trickle.jpg")}) {
        const FetchResult result = fetch(m_server.url(path));
        EXPECT_FALSE(result.saved) << qPrintable(path);
        EXPECT_EQ(result.failure.kind, Kind::TimedOut) << qPrintable(path);
        EXPECT_EQ(m_server.requestCount(path), 3) << qPrintable(path);
    }

    m_options.stallMinBytes = 1;
    m_options.deadlineMs = 1000;
    const FetchResult endless = fetch(m_server.url(QStringLiteral("/trickle.jpg")));
    EXPECT_FALSE(endless.saved);
    EXPECT_EQ(endless.failure.kind, Kind::TimedOut);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/trickle.jpg")), 4);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// Redirects are followed and the final body is saved.
TEST_F(PictureFetchTest, FollowsRedirects)
{
    const QByteArray body = pictureBytes(100);
    m_server.route(QStringLiteral("/new.jpg"), HttpResponse::ok(body));
    m_server.route(QStringLiteral("/old.jpg"), HttpResponse::redirect("/new.jpg"));
    EXPECT_TRUE(fetch(m_server.url(QStringLiteral("/old.jpg"))).saved);
    EXPECT_EQ(readFile(file()), body);
}

// Bodies over the limit are refused once, by declared length or as they arrive; nothing is written.
TEST_F(PictureFetchTest, RefusesOversizedBodies)
{
    m_options.maxBodyBytes = 1024 * 1024;
    m_server.route(QStringLiteral("/big.jpg"), HttpResponse::ok(pictureBytes(2 * 1024 * 1024)));
    m_server.route(QStringLiteral("/endless.jpg"), HttpResponse::endless());
    for (const QString &path : {QStringLiteral("/big.jpg"), QStringLiteral("/endless.jpg")}) {
        const FetchResult result = fetch(m_server.url(path));
        EXPECT_FALSE(result.saved) << qPrintable(path);
        EXPECT_EQ(result.failure, (FetchFailure{.kind = Kind::PictureTooLarge, .limitBytes = 1024 * 1024}))
            << qPrintable(path);
        EXPECT_EQ(m_server.requestCount(path), 1) << qPrintable(path);
    }
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A video has its own, larger size limit.
TEST_F(PictureFetchTest, VideoHasItsOwnSizeLimit)
{
    m_options.body = FetchOptions::Body::Video;
    m_options.maxBodyBytes = 1024 * 1024;
    m_options.maxVideoBytes = 3 * 1024 * 1024;
    const QByteArray start =
        QByteArray::fromHex("00000018") + "ftypisom" + QByteArray::fromHex("00000200") + "isomiso2";
    m_server.route(QStringLiteral("/v.mp4"),
                   HttpResponse::ok(start + randomBytes(2 * 1024 * 1024), "video/mp4"));
    m_server.route(QStringLiteral("/big.mp4"),
                   HttpResponse::ok(start + randomBytes(4 * 1024 * 1024), "video/mp4"));
    const FetchResult saved = fetch(m_server.url(QStringLiteral("/v.mp4")), QStringLiteral("1.mp4"));
    EXPECT_TRUE(saved.saved) << testing::PrintToString(saved.failure);
    EXPECT_EQ(saved.bytes, start.size() + 2 * 1024 * 1024);
    const FetchResult refused = fetch(m_server.url(QStringLiteral("/big.mp4")), QStringLiteral("2.mp4"));
    EXPECT_FALSE(refused.saved);
    EXPECT_EQ(refused.failure, (FetchFailure{.kind = Kind::VideoTooLarge, .limitBytes = 3 * 1024 * 1024}));
    EXPECT_EQ(entries(m_dir.path()), QStringList{QStringLiteral("1.mp4")});
}

// Only web addresses are fetched, also after a redirect; a local file, even a FIFO, is never read.
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
        EXPECT_EQ(result.failure.kind, Kind::UnsupportedAddress) << qPrintable(address);
        EXPECT_FALSE(QFile::exists(file(QStringLiteral("out.jpg")))) << qPrintable(address);
    }
}

// An answer that is no picture fails with a reason saying what it was, and leaves no file.
TEST_F(PictureFetchTest, ExplainsAnswersThatAreNoPicture)
{
    const QByteArray jpeg = pictureBytes(2000);
    HttpResponse untyped;
    untyped.body = "no type";
    HttpResponse noContent;
    noContent.status = 204;
    HttpResponse part = HttpResponse::ok(jpeg, "image/jpeg").withHeader("Content-Range", "bytes 0-1999/9000");
    part.status = 206;
    m_server.route(QStringLiteral("/loop.jpg"), HttpResponse::redirect("/loop.jpg").delayedBy(1));
    const auto notPicture = [](const char *type) {
        return FetchFailure{.kind = Kind::NotPicture, .detail = QString::fromLatin1(type)};
    };
    const QList<QPair<HttpResponse, FetchFailure>> cases{
        {HttpResponse::ok("<html>login</html>", "text/html; charset=utf-8"), notPicture("text/html")},
        {HttpResponse::ok(randomBytes(3000), "Image/JPEG; q=1").withHeader("Content-Encoding", "x-pack"),
         notPicture("image/jpeg")},
        {HttpResponse::ok(jpeg.left(2), "image/jpeg"), notPicture("image/jpeg")},
        {untyped, notPicture("")},
        {HttpResponse::ok({}, "image/jpeg"), {.kind = Kind::Empty}},
        {noContent, {.kind = Kind::Empty}},
        {part, {.kind = Kind::HttpStatus, .code = 206}},
        {HttpResponse::redirect("/loop.jpg"), {.kind = Kind::TooManyRedirects}},
        {HttpResponse::ok(QByteArray::fromHex("1f8b0800000000000003") + QByteArray(200, 'q'), "image/jpeg")
             .withHeader("Content-Encoding", "gzip"),
         {.kind = Kind::Undecodable, .detail = QStringLiteral("gzip")}},
    };
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const QString path = QStringLiteral("/case%1.jpg").arg(i);
        m_server.route(path, cases[i].first);
        const FetchResult result = fetch(m_server.url(path));
        EXPECT_FALSE(result.saved) << qPrintable(path);
        EXPECT_EQ(result.failure, cases[i].second) << qPrintable(path);
        EXPECT_EQ(m_server.requestCount(path), 1) << qPrintable(path);
    }
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// A picture arriving a byte at a time is told across reads and saved whole (HEIF, declared SVG).
TEST_F(PictureFetchTest, SavesAPictureArrivingByteByByte)
{
    QByteArray heif = QByteArray("ftypisom", 8) + QByteArray(4, '\0') + QByteArray("mp41heic", 8);
    QByteArray size(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(heif.size() + 4), size.data());
    heif = size + heif + randomBytes(40);
    const QList<QPair<QByteArray, QByteArray>> pictures{
        {heif, "image/heic"},
        {"\xef\xbb\xbf \r\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>", "Image/SVG+xml; charset=utf-8"},
    };
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const QString path = QStringLiteral("/bytewise%1").arg(i);
        m_server.route(path, HttpResponse::ok(pictures[i].first, pictures[i].second).trickling(1));
        const QString name = QStringLiteral("f%1").arg(i);
        const FetchResult result = fetch(m_server.url(path), name);
        EXPECT_TRUE(result.saved) << qPrintable(path) << ' ' << testing::PrintToString(result.failure);
        EXPECT_EQ(readFile(file(name)), pictures[i].first) << qPrintable(path);
    }
}

// An interim answer fails its picture without handing its body to the next; 100 Continue passes.
TEST_F(PictureFetchTest, InterimAnswerKeepsBodiesApart)
{
    m_options.retries = 0; // a fetch cut off by the closing connections must not need one
    m_server.setFallback([](const HttpRequest &request) {
        const HttpResponse picture =
            HttpResponse::ok("GIF89a" + request.path + QByteArray(3000, 'g'), "image/gif");
        if (request.path.startsWith("/hint"))
            return picture.precededBy(103, 60);
        if (request.path.startsWith("/continue"))
            return picture.precededBy(100, 30);
        return picture.delayedBy(10);
    });
    for (const int concurrency : {1, 3}) {
        const QString folder = m_dir.filePath(QString::number(concurrency));
        ASSERT_TRUE(QDir().mkpath(folder));
        QStringList paths;
        for (int i = 0; i < 10; ++i)
            paths.append(QStringLiteral("/%1%2")
                             .arg(i == 1 || i == 6 ? QStringLiteral("hint")
                                  : i == 3         ? QStringLiteral("continue")
                                                   : QStringLiteral("p"))
                             .arg(i));
        FetchQueue queue(m_manager, m_options, concurrency);
        for (int i = 0; i < paths.size(); ++i)
            queue.add(m_server.url(paths[i]).toString(), joinPath(folder, QString::number(i)));
        ASSERT_TRUE(waitUntil([&] { return queue.isIdle(); })) << concurrency;

        const QList<FetchResult> failed = queue.failures();
        ASSERT_EQ(failed.size(), 2) << concurrency;
        for (const FetchResult &failure : failed) {
            EXPECT_TRUE(failure.address.contains(QStringLiteral("/hint"))) << qPrintable(failure.address);
            EXPECT_EQ(failure.failure, (FetchFailure{.kind = Kind::InterimAnswer, .code = 103}));
        }
        for (int i = 0; i < paths.size(); ++i) {
            if (paths[i].startsWith(QStringLiteral("/hint")))
                EXPECT_FALSE(QFile::exists(joinPath(folder, QString::number(i))));
            else
                EXPECT_EQ(readFile(joinPath(folder, QString::number(i))),
                          "GIF89a" + paths[i].toUtf8() + QByteArray(3000, 'g'))
                    << concurrency << ' ' << qPrintable(paths[i]);
        }
    }
}

// A full disk is named as such, and the partial picture is removed.
TEST_F(PictureFetchTest, ReportsAFullDisk)
{
#ifdef Q_OS_LINUX
    const QByteArray target = QFile::encodeName(m_dir.path());
    if (mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    m_server.route(QStringLiteral("/big.jpg"), HttpResponse::ok(pictureBytes(200 * 1024), "image/jpeg"));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/big.jpg")));
    const QStringList left = entries(m_dir.path());
    umount2(target.constData(), MNT_DETACH);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failure.kind, Kind::DiskFull);
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(QLatin1Char(',')));
#else
    GTEST_SKIP() << "needs a small file system of its own";
#endif
}

// A file that cannot be written (its folder is missing) is reported.
TEST_F(PictureFetchTest, ReportsAnUnwritableFile)
{
    m_server.route(QStringLiteral("/a.jpg"), HttpResponse::ok(pictureBytes(10)));
    const FetchResult result = fetch(m_server.url(QStringLiteral("/a.jpg")), QStringLiteral("missing/p.jpg"));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failure.kind, Kind::CannotWrite) << testing::PrintToString(result.failure);
    EXPECT_FALSE(result.failure.detail.isEmpty());
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
        return HttpResponse::ok("GIF89a" + request.path).delayedBy(30);
    });
    FetchQueue queue(m_manager, m_options, 3);
    for (int i = 0; i < 12; ++i) {
        const QString name =
            QStringLiteral("/%1%2").arg(i).arg(i % 5 == 0 ? QStringLiteral("bad") : QString());
        queue.add(m_server.url(name).toString(), file(QString::number(i)));
    }
    ASSERT_TRUE(waitUntil([&] { return queue.isIdle(); }));
    EXPECT_LE(most, 3);
    EXPECT_GE(most, 2);
    const QList<FetchResult> failed = queue.failures();
    ASSERT_EQ(failed.size(), 3);
    EXPECT_TRUE(failed[0].address.endsWith(QStringLiteral("/0bad")));
    EXPECT_TRUE(failed[1].address.endsWith(QStringLiteral("/5bad")));
    EXPECT_TRUE(failed[2].address.endsWith(QStringLiteral("/10bad")));
    EXPECT_EQ(readFile(file(QStringLiteral("7"))), QByteArray("GIF89a/7"));
}
