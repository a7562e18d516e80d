// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadCommand.h"
#include "app/WaitUntil.h"
#include "collect/PictureList.h"
#include "download/PathJoin.h"
#include "platform/qt/QtEventLoop.h"
#include "support/DownloadFailurePrinter.h"
#include "support/Files.h"
#include "support/LocalHttpServer.h"
#include "support/QStringPrinter.h"
#include "support/TaskResult.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <unistd.h>

using namespace talvesk;
using talvesk::test::entries;
using talvesk::test::filesOpenIn;
using talvesk::test::HttpRequest;
using talvesk::test::HttpResponse;
using Kind = talvesk::FetchFailure::Kind;
using talvesk::test::readFile;

namespace {

// Runs the download and waits for its result.
DownloadResult finishRun(DownloadCommand &command, const CollectedSet &set)
{
    const auto result = test::started(command.run(set));
    EXPECT_TRUE(talvesk::test::waitUntil([&] { return result->has_value(); }));
    return result->value_or(DownloadResult{});
}

// A reported step in short: "folder <path> <shortened name>", "empty <list>" or "<done>/<total>".
QString step(const DownloadProgress &progress)
{
    if (progress.step == DownloadProgress::Step::ItemFolder)
        return QStringLiteral("folder %1 %2").arg(progress.itemFolder, progress.shortenedName).trimmed();
    if (progress.step == DownloadProgress::Step::EmptyList)
        return QStringLiteral("empty %1").arg(static_cast<int>(progress.list));
    return QStringLiteral("%1/%2").arg(progress.done).arg(progress.total);
}

// Stands for a front end's words in the item folder's record: the failure, spelled out.
QString recordedWords(const FetchFailure &failure)
{
    return QString::fromStdString(testing::PrintToString(failure));
}

// A picture body that differs for every address, so a file under the wrong name shows.
QByteArray bodyFor(const QByteArray &path)
{
    return "GIF89a picture " + path + QByteArray(1000 + static_cast<int>(qHash(path) % 5000), 'p');
}

class DownloadCommandTest : public ::testing::Test
{
protected:
    DownloadCommandTest()
    {
        m_set.mainPictures.clear();
        m_set.colourPictures.clear();
        m_set.descriptionPictures.clear();
        m_set.itemTitle = QStringLiteral("T");
        m_server.setFallback(
            [](const HttpRequest &request) { return HttpResponse::ok(bodyFor(request.path)); });
        m_options.fetch.stallWindowMs = 300;
        m_options.startFolder = QStringLiteral("/start/here");
        // Answered at once from folderAnswers, then cancelled.
        m_options.askSaveFolder = [this](const QString &startFolder, std::function<void(QString)> answer) {
            m_folderAsked.append(startFolder);
            answer(m_folderAnswers.isEmpty() ? QString() : m_folderAnswers.takeFirst());
        };
        m_options.progress = [this](const DownloadProgress &progress) { m_steps.append(step(progress)); };
        m_options.failureText = recordedWords;
    }

    QString url(const QString &path) const { return m_server.url(path).toString(); }

    // Runs a download into the temporary folder; `during` runs every few milliseconds while it
    // goes on. One that outlasts 20 s is stopped and ends Unfinished.
    DownloadResult download(const std::function<void(DownloadCommand &)> &during = {})
    {
        m_folderAnswers = {m_dir.path()};
        m_steps.clear();
        DownloadCommand command(m_loop, m_options);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            if (during)
                during(command);
        });
        poll.start(2);
        QTimer::singleShot(20000, &poll, [&command] { command.abort(); });
        return finishRun(command, m_set);
    }

    QString item(const QString &relative = {}) const
    {
        const QString folder = joinPath(m_dir.path(), QStringLiteral("T"));
        return relative.isEmpty() ? folder : joinPath(folder, relative);
    }

    QTemporaryDir m_dir;
    test::LocalHttpServer m_server;
    QtEventLoop m_loop;
    QStringList m_folderAnswers;
    QStringList m_folderAsked; // the start folders the question was asked with
    QStringList m_steps;       // as the command reported them
    DownloadOptions m_options;
    CollectedSet m_set;
};

} // namespace

// The tree, names and bytes of a set, and its steps in order.
TEST_F(DownloadCommandTest, SavesTheExampleSetInOrder)
{
    for (int i = 0; i < 3; ++i)
        m_set.mainPictures.put(i, url(QStringLiteral("/main/%1.jpg").arg(i)));
    m_set.descriptionPictures.put(0, url(QStringLiteral("/desc/0.jpg")));
    m_set.descriptionPictures.put(1, url(QStringLiteral("/desc/1.png")));

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.total, 5);
    EXPECT_EQ(result.saved, 5);
    EXPECT_TRUE(result.failures.isEmpty());
    EXPECT_EQ(result.itemFolder, item());
    EXPECT_EQ(m_folderAsked, QStringList{QDir::toNativeSeparators(m_options.startFolder)});

    // No video, no video folder; the record beside the lists.
    EXPECT_EQ(entries(item()), (QStringList{QStringLiteral("talvesk.json"), QStringLiteral("主图"),
                                            QStringLiteral("描述图"), QStringLiteral("颜色图")}));
    EXPECT_EQ(entries(item(QStringLiteral("主图"))),
              (QStringList{QStringLiteral("描述主图0.jpg"), QStringLiteral("描述主图1.jpg"),
                           QStringLiteral("描述主图2.jpg")}));
    EXPECT_TRUE(entries(item(QStringLiteral("颜色图"))).isEmpty());
    EXPECT_EQ(entries(item(QStringLiteral("描述图"))),
              (QStringList{QStringLiteral("描述图0.jpg"), QStringLiteral("描述图1.png")}));
    EXPECT_EQ(readFile(item(QStringLiteral("主图/描述主图2.jpg"))), bodyFor("/main/2.jpg"));
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图1.png"))), bodyFor("/desc/1.png"));

    // Pictures finishing together may be reported as one step; the colour list comes once the
    // main pictures have all finished.
    ASSERT_GE(m_steps.size(), 5);
    EXPECT_EQ(m_steps[0], QStringLiteral("folder ") + item());
    EXPECT_EQ(m_steps[1], QStringLiteral("0/5"));
    EXPECT_EQ(m_steps.value(m_steps.indexOf(QStringLiteral("empty 1")) - 1), QStringLiteral("3/5"));
    EXPECT_EQ(m_steps.last(), QStringLiteral("5/5"));
}

// A cancelled question, or a choice made before anything was collected, ends without a step.
TEST_F(DownloadCommandTest, EndsSilentlyWithoutFolderOrTitle)
{
    m_set.mainPictures.put(0, url(QStringLiteral("/a.jpg")));
    DownloadCommand command(m_loop, m_options);
    EXPECT_EQ(finishRun(command, m_set).outcome, DownloadResult::Outcome::NotStarted);

    m_set.itemTitle.clear();
    m_folderAnswers = {m_dir.path()};
    EXPECT_EQ(finishRun(command, m_set).outcome, DownloadResult::Outcome::NotStarted);

    EXPECT_EQ(m_folderAsked.size(), 2);
    EXPECT_TRUE(m_steps.isEmpty());
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
    EXPECT_EQ(m_server.requests().size(), 0);
}

// 256 pictures over at most six connections, from the command's own copy of the set.
TEST_F(DownloadCommandTest, SavesAFullListFromItsOwnCopy)
{
    for (int i = 0; i < PictureList::kLimit; ++i)
        m_set.descriptionPictures.put(i, url(QStringLiteral("/d/%1.jpg").arg(i)));
    const DownloadResult result = download([&](DownloadCommand &) {
        m_set.descriptionPictures.clear();
        m_set.itemTitle = QStringLiteral("other");
    });
    EXPECT_EQ(result.total, 256);
    EXPECT_EQ(result.saved, 256);
    EXPECT_EQ(entries(item(QStringLiteral("描述图"))).size(), 256);
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图0.jpg"))), bodyFor("/d/0.jpg"));
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图255.jpg"))), bodyFor("/d/255.jpg"));
    EXPECT_EQ(m_steps.last(), QStringLiteral("256/256"));
    EXPECT_LE(m_server.connectionCount(), 6);
}

// The item folder's name loses control characters and is cut at a character to fit the file system.
TEST_F(DownloadCommandTest, FitsTheItemFolderNameToTheFileSystem)
{
    m_set.mainPictures.put(0, url(QStringLiteral("/a.jpg")));
    m_set.itemTitle =
        QStringLiteral("新\t款") + QChar(0) + QString(300, QChar(0x5B9D)) + QStringLiteral("\x7f");
    const QString expected = QStringLiteral("新款") + QString(82, QChar(0x5B9D)); // 84 characters, 252 bytes

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.itemFolder, joinPath(m_dir.path(), expected));
    EXPECT_EQ(entries(m_dir.path()), QStringList{expected});
    EXPECT_EQ(readFile(joinPath(result.itemFolder, QStringLiteral("主图/描述主图0.jpg"))), bodyFor("/a.jpg"));
    EXPECT_EQ(m_steps.value(0), QStringLiteral("folder ") + result.itemFolder + u' ' + expected);

    // A taken name still leaves room for the attempt number.
    EXPECT_EQ(download().itemFolder, joinPath(m_dir.path(), expected + QStringLiteral("1")));
}

// Nothing collected: progress stays at 0 of 0 and the three empty lists follow in order.
TEST_F(DownloadCommandTest, TotalZero)
{
    const DownloadResult result = download();
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.total, 0);
    EXPECT_EQ(m_steps,
              (QStringList{QStringLiteral("folder ") + item(), QStringLiteral("0/0"),
                           QStringLiteral("empty 0"), QStringLiteral("empty 1"), QStringLiteral("empty 2")}));
}

// Failures come back in list order with their file and why; the rest is saved, progress completes.
TEST_F(DownloadCommandTest, ReportsFailedPictures)
{
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404, "<html>no</html>"));
    m_server.route(QStringLiteral("/cut.jpg"), HttpResponse::ok(bodyFor("/cut.jpg") + QByteArray(40000, 'c'))
                                                   .sendingOnly(100, HttpResponse::Ending::Close));
    m_set.mainPictures.put(0, url(QStringLiteral("/gone.jpg")));
    m_set.mainPictures.put(1, url(QStringLiteral("/ok.jpg")));
    m_set.colourPictures.put(0, url(QStringLiteral("/cut.jpg")));
    m_set.colourPictures.put(1, QStringLiteral("file:/etc/passwd?.jpg"));

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.saved, 1);
    ASSERT_EQ(result.failures.size(), 3);
    EXPECT_EQ(result.failures[0].address, url(QStringLiteral("/gone.jpg")));
    EXPECT_EQ(result.failures[0].failure, (FetchFailure{.kind = Kind::HttpStatus, .code = 404}));
    EXPECT_EQ(result.failures[0].fileName, item(QStringLiteral("主图/描述主图0.jpg")));
    EXPECT_EQ(result.failures[1].address, url(QStringLiteral("/cut.jpg")));
    EXPECT_EQ(result.failures[1].failure.kind, Kind::ConnectionCut);
    EXPECT_EQ(result.failures[2].address, QStringLiteral("file:/etc/passwd?.jpg"));
    EXPECT_EQ(result.failures[2].failure.kind, Kind::UnsupportedAddress);
    EXPECT_EQ(result.failures[2].fileName, item(QStringLiteral("颜色图/颜色主图1.jpg")));
    EXPECT_TRUE(m_steps.contains(QStringLiteral("4/4")));
    EXPECT_EQ(entries(item(QStringLiteral("主图"))), QStringList{QStringLiteral("描述主图1.jpg")});
    EXPECT_TRUE(entries(item(QStringLiteral("颜色图"))).isEmpty());
}

// A download that saved nothing, or was cancelled before its first picture, removes its folder.
TEST_F(DownloadCommandTest, SavingNothingLeavesNoFolder)
{
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404, "<html>no</html>"));
    m_set.mainPictures.put(0, url(QStringLiteral("/gone.jpg")));
    m_set.descriptionPictures.put(0, url(QStringLiteral("/gone.jpg")));

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.failures.size(), 2);
    EXPECT_TRUE(result.itemFolderRemoved);
    EXPECT_FALSE(result.cancelled);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());

    m_server.route(QStringLiteral("/slow.jpg"), HttpResponse::ok(bodyFor("/slow.jpg")).delayedBy(10000));
    m_set.mainPictures.put(0, url(QStringLiteral("/slow.jpg")));
    const DownloadResult cancelled = download([](DownloadCommand &command) { command.cancel(); });
    EXPECT_EQ(cancelled.outcome, DownloadResult::Outcome::Unfinished);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.itemFolderRemoved);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

// An item folder that cannot be created stops the download, naming the folder and why.
TEST_F(DownloadCommandTest, StopsWhenTheItemFolderCannotBeMade)
{
    m_set.mainPictures.put(0, url(QStringLiteral("/a.jpg")));
    const QString missing = joinPath(m_dir.path(), QStringLiteral("gone"));
    m_folderAnswers = {missing};
    DownloadCommand command(m_loop, m_options);
    const DownloadResult result = finishRun(command, m_set);
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::FolderFailed);
    EXPECT_EQ(result.failedFolder, joinPath(missing, m_set.itemTitle));
    EXPECT_EQ(result.folderFailure.kind, FolderFailure::Kind::MissingParent);
    EXPECT_EQ(m_steps, QStringList{QStringLiteral("folder")});
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
    EXPECT_EQ(m_server.requests().size(), 0);
}

// Stopping mid-picture (the window closing) leaves no file and reports nothing more.
TEST_F(DownloadCommandTest, ShutdownMidDownloadLeavesNoPartialFile)
{
#ifndef Q_OS_LINUX
    GTEST_SKIP() << "watches open files through /proc";
#else
    m_options.fetch.stallWindowMs = 30000;
    m_server.route(QStringLiteral("/slow.jpg"),
                   HttpResponse::ok(bodyFor("/slow.jpg") + QByteArray(100000, 's'))
                       .sendingOnly(30000, HttpResponse::Ending::Hang));
    m_set.mainPictures.put(0, url(QStringLiteral("/slow.jpg")));
    m_set.descriptionPictures.put(0, url(QStringLiteral("/later.jpg")));
    bool partSeen = false;
    QStringList stepsAtStop;
    const DownloadResult result = download([&](DownloadCommand &command) {
        // The body's first part is being written.
        partSeen = partSeen || filesOpenIn(item(QStringLiteral("主图"))) > 0;
        if (partSeen && stepsAtStop.isEmpty()) {
            stepsAtStop = m_steps;
            command.abort();
        }
    });

    EXPECT_TRUE(partSeen);
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Unfinished);
    EXPECT_FALSE(result.cancelled);
    EXPECT_TRUE(entries(item(QStringLiteral("主图"))).isEmpty());
    EXPECT_TRUE(entries(item(QStringLiteral("描述图"))).isEmpty());
    EXPECT_EQ(m_steps, stepsAtStop);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/later.jpg")), 0);
    EXPECT_EQ(filesOpenIn(item(QStringLiteral("主图"))), 0);
#endif
}

// A command destroyed while its run waits ends it there: nothing reported, nothing left, no late touch.
TEST_F(DownloadCommandTest, GoingWhileWaitingTouchesNothing)
{
    m_server.hold(QStringLiteral("/held.jpg"));
    m_set.mainPictures.put(0, url(QStringLiteral("/held.jpg")));
    for (const int wait : {0, 1, 2}) { // a picture, the folder answer, a picture after abort()
        const bool midFetch = wait != 1;
        auto presenter = std::make_unique<QStringList>(); // the steps it shows
        std::function<void(QString)> lateAnswer;
        DownloadOptions options = m_options;
        options.askSaveFolder = [&, midFetch](const QString &, std::function<void(QString)> answer) {
            if (midFetch)
                answer(m_dir.path());
            else
                lateAnswer = std::move(answer);
        };
        options.progress = [shown = presenter.get()](const DownloadProgress &progress) {
            shown->append(step(progress));
        };
        auto command = std::make_unique<DownloadCommand>(m_loop, options);
        const auto result = test::started(command->run(m_set));
        ASSERT_TRUE(test::waitUntil([&] {
            return midFetch ? m_server.requestCount(QStringLiteral("/held.jpg")) > 0 : lateAnswer != nullptr;
        }));

        if (wait == 2)
            command->abort();
        presenter.reset();
        command.reset();
        ASSERT_TRUE(test::waitUntil([&] { return result->has_value(); }));
        EXPECT_EQ((*result)->outcome, DownloadResult::Outcome::Unfinished);
        if (lateAnswer)
            lateAnswer(m_dir.path());
        QCoreApplication::processEvents();
    }
    // The item folder made for the held picture went again, holding nothing.
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
}

namespace {

// The start of an MP4 file: a file type box, then a little of a movie.
QByteArray videoBody(const QByteArray &tag)
{
    return QByteArray::fromHex("00000018") + "ftypisom" + QByteArray::fromHex("00000200") + "isomiso2" +
           "mdat " + tag + QByteArray(3000, 'v');
}

QJsonArray recordedPictures(const QString &itemFolder)
{
    const QByteArray json = readFile(joinPath(itemFolder, QStringLiteral("talvesk.json")));
    return QJsonDocument::fromJson(json).object().value(QStringLiteral("pictures")).toArray();
}

// Whether the record's entry tells the file on disk: its size and its SHA-256.
void expectAgreesWithItsFile(const QString &itemFolder, const QJsonObject &entry)
{
    const QByteArray bytes = readFile(joinPath(itemFolder, entry.value(QStringLiteral("file")).toString()));
    EXPECT_FALSE(bytes.isEmpty()) << qPrintable(entry.value(QStringLiteral("file")).toString());
    EXPECT_EQ(entry.value(QStringLiteral("bytes")).toInteger(), bytes.size());
    EXPECT_EQ(entry.value(QStringLiteral("sha256")).toString(),
              QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    EXPECT_FALSE(entry.contains(QStringLiteral("error")));
}

} // namespace

// The folder's record lists every picture and video as saved (file, size, hash) or why not.
TEST_F(DownloadCommandTest, RecordAgreesWithTheFilesAndSaysWhatFailed)
{
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404, "<html>no</html>"));
    m_server.route(QStringLiteral("/v.mp4"), HttpResponse::ok(videoBody("1"), "video/mp4"));
    m_server.route(QStringLiteral("/fake.mp4"), HttpResponse::ok(bodyFor("/fake.mp4"), "video/mp4"));
    m_set.mainPictures.put(0, url(QStringLiteral("/a.jpg")));
    m_set.mainPictures.put(1, url(QStringLiteral("/gone.jpg")));
    m_set.colourPictures.put(0, url(QStringLiteral("/c.jpg")));
    m_set.colourNames = QStringList{QStringLiteral("红色 \"大\"")};
    m_set.videos = QStringList{url(QStringLiteral("/v.mp4")), url(QStringLiteral("/fake.mp4"))};
    m_set.address = QStringLiteral("https://item.example/item.htm?id=1");
    m_set.pageAddress = QStringLiteral("https://item.example/item.htm?id=1&x=2");
    m_set.collectedAt = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_TRUE(result.manifestFailure.isEmpty()) << qPrintable(result.manifestFailure);
    EXPECT_EQ(entries(item(QStringLiteral("视频"))), QStringList{QStringLiteral("1.mp4")});
    EXPECT_EQ(readFile(item(QStringLiteral("视频/1.mp4"))), videoBody("1"));
    const QJsonObject record =
        QJsonDocument::fromJson(readFile(item(QStringLiteral("talvesk.json")))).object();
    EXPECT_EQ(record.value(QStringLiteral("address")).toString(), m_set.address);
    EXPECT_EQ(record.value(QStringLiteral("pageAddress")).toString(), m_set.pageAddress);
    EXPECT_EQ(record.value(QStringLiteral("title")).toString(), QStringLiteral("T"));
    EXPECT_EQ(record.value(QStringLiteral("collected")).toString(), QStringLiteral("2026-01-02T03:04:05Z"));
    EXPECT_EQ(record.value(QStringLiteral("simplified")), QJsonValue(false));

    const QJsonArray pictures = recordedPictures(item());
    ASSERT_EQ(pictures.size(), 5);
    const struct
    {
        const char *list;
        int number;
        QString address;
        QString file; // empty: not saved
    } expected[] = {
        {"main", 0, url(QStringLiteral("/a.jpg")), QStringLiteral("主图/描述主图0.jpg")},
        {"main", 1, url(QStringLiteral("/gone.jpg")), {}},
        {"colour", 0, url(QStringLiteral("/c.jpg")), QStringLiteral("颜色图/颜色主图0.jpg")},
        {"video", 1, url(QStringLiteral("/v.mp4")), QStringLiteral("视频/1.mp4")},
        {"video", 2, url(QStringLiteral("/fake.mp4")), {}},
    };
    for (int i = 0; i < 5; ++i) {
        const QJsonObject entry = pictures.at(i).toObject();
        EXPECT_EQ(entry.value(QStringLiteral("list")).toString(), QLatin1String(expected[i].list));
        EXPECT_EQ(entry.value(QStringLiteral("number")).toInt(), expected[i].number);
        EXPECT_EQ(entry.value(QStringLiteral("address")).toString(), expected[i].address);
        if (expected[i].file.isEmpty()) {
            EXPECT_TRUE(entry.value(QStringLiteral("file")).isNull());
            EXPECT_FALSE(entry.value(QStringLiteral("error")).toString().isEmpty());
        } else {
            EXPECT_EQ(entry.value(QStringLiteral("file")).toString(), expected[i].file);
            expectAgreesWithItsFile(item(), entry);
        }
    }
    EXPECT_EQ(pictures.at(1).toObject().value(QStringLiteral("error")).toString(),
              recordedWords({.kind = Kind::HttpStatus, .code = 404}));
    EXPECT_EQ(pictures.at(2).toObject().value(QStringLiteral("name")).toString(),
              QStringLiteral("红色 \"大\""));
    EXPECT_EQ(pictures.at(4).toObject().value(QStringLiteral("error")).toString(),
              recordedWords({.kind = Kind::NotVideo, .detail = QStringLiteral("video/mp4")}));
}

// A retry updates the record: the picture fetched again by its file, the others as they were.
TEST_F(DownloadCommandTest, RetryUpdatesTheRecord)
{
    m_server.route(QStringLiteral("/late.jpg"), HttpResponse::withStatus(503));
    m_set.mainPictures.put(0, url(QStringLiteral("/a.jpg")));
    m_set.descriptionPictures.put(0, url(QStringLiteral("/late.jpg")));
    m_set.address = QStringLiteral("https://item.example/item.htm?id=1");
    const DownloadResult first = download();
    ASSERT_EQ(first.failures.size(), 1);
    ASSERT_EQ(recordedPictures(item()).at(1).toObject().value(QStringLiteral("error")).toString(),
              recordedWords({.kind = Kind::HttpStatus, .code = 503}));

    m_server.route(QStringLiteral("/late.jpg"), HttpResponse::ok(bodyFor("/late.jpg")));
    const RetryPlan plan = retryPlanOf(first);
    ASSERT_EQ(plan.pictures.size(), 1);
    DownloadCommand command(m_loop, m_options);
    const auto retried = test::started(command.retry(plan));
    ASSERT_TRUE(test::waitUntil([&] { return retried->has_value(); }));
    EXPECT_EQ((*retried)->saved, 1);

    const QJsonArray pictures = recordedPictures(item());
    ASSERT_EQ(pictures.size(), 2);
    EXPECT_EQ(pictures.at(0).toObject().value(QStringLiteral("file")).toString(),
              QStringLiteral("主图/描述主图0.jpg"));
    EXPECT_EQ(pictures.at(1).toObject().value(QStringLiteral("file")).toString(),
              QStringLiteral("描述图/描述图0.jpg"));
    expectAgreesWithItsFile(item(), pictures.at(1).toObject());
}

// A record that cannot be written is said, with where and why; the pictures stay saved.
TEST_F(DownloadCommandTest, UnwritableRecordIsSaid)
{
    m_set.mainPictures.put(0, url(QStringLiteral("/a.jpg")));
    m_options.progress = [](const DownloadProgress &progress) {
        if (progress.step == DownloadProgress::Step::ItemFolder)
            QDir(progress.itemFolder).mkdir(QStringLiteral("talvesk.json"));
    };
    const DownloadResult result = download();
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.saved, 1);
    EXPECT_EQ(result.manifestFile, item(QStringLiteral("talvesk.json")));
    EXPECT_FALSE(result.manifestFailure.isEmpty());
    EXPECT_EQ(readFile(item(QStringLiteral("主图/描述主图0.jpg"))), bodyFor("/a.jpg"));
}
