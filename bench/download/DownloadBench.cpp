// SPDX-License-Identifier: GPL-3.0-or-later
// Times the download command over 200 pictures of 64 KiB from a local server that answers
// each request after 20 ms, at concurrency 1 and 6, against curl's parallel mode over the
// same addresses. The last line holds the figures.

#include "app/WaitUntil.h"
#include "collect/PictureList.h"
#include "download/DownloadCommand.h"
#include "platform/qt/QtEventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/TaskResult.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace talvesk;
using talvesk::test::HttpRequest;
using talvesk::test::HttpResponse;
using talvesk::test::LocalHttpServer;

namespace {

constexpr int kPictures = 200;
constexpr int kPictureBytes = 64 * 1024;
constexpr int kLatencyMs = 20;
constexpr int kConcurrency = 6;
constexpr int kRounds = 3;

// The server runs in its own thread so that it answers curl, another process, while this
// thread waits for curl to end.
class ServerThread
{
public:
    explicit ServerThread(const QByteArray &body)
    {
        m_anchor.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_anchor,
            [this, body] {
                m_server = new LocalHttpServer;
                m_server->setFallback([body](const HttpRequest &) {
                    return HttpResponse::ok(body, "image/jpeg").delayedBy(kLatencyMs);
                });
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            &m_anchor, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QUrl url(const QString &path) const { return m_server->url(path); }
    int connections()
    {
        int count = 0;
        QMetaObject::invokeMethod(
            &m_anchor, [this, &count] { count = m_server->connectionCount(); }, Qt::BlockingQueuedConnection);
        return count;
    }

private:
    QThread m_thread;
    QObject m_anchor;
    LocalHttpServer *m_server = nullptr;
};

struct Timing
{
    double seconds = 0;
    int connections = 0;
};

// Every picture is there with its full size.
bool complete(const QString &folder)
{
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    return files.size() == kPictures && std::all_of(files.cbegin(), files.cend(), [](const QFileInfo &f) {
               return f.size() == kPictureBytes;
           });
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Timing timeOurs(ServerThread &server, const QStringList &addresses, int concurrency)
{
    CollectedSet set;
    set.itemTitle = QStringLiteral("bench");
    for (int i = 0; i < kPictures; ++i)
        set.descriptionPictures.append(addresses[i]);

    std::vector<double> seconds;
    const int connectionsBefore = server.connections();
    for (int round = 0; round < kRounds; ++round) {
        QTemporaryDir dir;
        DownloadOptions options;
        options.concurrency = concurrency;
        options.askSaveFolder = [&dir](const QString &, std::function<void(QString)> answer) {
            answer(dir.path());
        };
        QtEventLoop loop;
        DownloadCommand command(loop, options);

        QElapsedTimer clock;
        clock.start();
        const auto downloaded = test::started(command.run(set));
        test::waitUntil([&] { return downloaded->has_value(); });
        const DownloadResult result = **downloaded;
        seconds.push_back(clock.nsecsElapsed() / 1e9);
        if (result.outcome != DownloadResult::Outcome::Done || !result.failures.isEmpty() ||
            !complete(QDir(result.itemFolder).filePath(QStringLiteral("描述图")))) {
            std::fprintf(stderr, "our download did not save every picture\n");
            std::exit(1);
        }
    }
    return {median(seconds), (server.connections() - connectionsBefore) / kRounds};
}

Timing timeCurl(ServerThread &server, const QStringList &addresses, const QStringList &extra)
{
    std::vector<double> seconds;
    const int connectionsBefore = server.connections();
    for (int round = 0; round < kRounds; ++round) {
        QTemporaryDir dir;
        QStringList arguments = {QStringLiteral("--silent"),
                                 QStringLiteral("--fail"),
                                 QStringLiteral("--parallel"),
                                 QStringLiteral("--parallel-max"),
                                 QString::number(kConcurrency),
                                 QStringLiteral("--output-dir"),
                                 dir.path(),
                                 QStringLiteral("--remote-name-all")};
        arguments += extra;
        arguments += addresses;
        QProcess curl;
        QElapsedTimer clock;
        clock.start();
        curl.start(QStringLiteral("curl"), arguments);
        if (!curl.waitForFinished(120000) || curl.exitCode() != 0 || !complete(dir.path())) {
            std::fprintf(stderr, "curl did not fetch every picture: %s\n",
                         curl.readAllStandardError().constData());
            std::exit(1);
        }
        seconds.push_back(clock.nsecsElapsed() / 1e9);
    }
    return {median(seconds), (server.connections() - connectionsBefore) / kRounds};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    QByteArray body(kPictureBytes, Qt::Uninitialized);
    for (char &b : body)
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    body.replace(0, 3, QByteArray("\xff\xd8\xff", 3)); // fetches save only what starts as a picture
    ServerThread server(body);
    QStringList addresses;
    for (int i = 0; i < kPictures; ++i)
        addresses.append(server.url(QStringLiteral("/p/%1.jpg").arg(i)).toString());

    const Timing serial = timeOurs(server, addresses, 1);
    const Timing parallel = timeOurs(server, addresses, kConcurrency);
    const Timing curl = timeCurl(server, addresses, {});
    const Timing curlImmediate = timeCurl(server, addresses, {QStringLiteral("--parallel-immediate")});
    const double limit = std::ceil(static_cast<double>(kPictures) / kConcurrency) * kLatencyMs / 1000.0;

    std::printf("%d pictures of %d KiB, %d ms per response, median of %d rounds\n", kPictures,
                kPictureBytes / 1024, kLatencyMs, kRounds);
    std::printf("ours, 1 at a time: %.3f s, %d connections\n", serial.seconds, serial.connections);
    std::printf("ours, %d at a time: %.3f s, %d connections\n", kConcurrency, parallel.seconds,
                parallel.connections);
    std::printf("curl --parallel --parallel-max %d: %.3f s, %d connections\n", kConcurrency, curl.seconds,
                curl.connections);
    std::printf("curl --parallel --parallel-max %d --parallel-immediate: %.3f s, %d connections\n",
                kConcurrency, curlImmediate.seconds, curlImmediate.connections);
    std::printf("download: %.3f s, %.3f s curl, %.3f s limit, %.2f ratio\n", parallel.seconds, curl.seconds,
                limit, parallel.seconds / curl.seconds);
    return 0;
}
