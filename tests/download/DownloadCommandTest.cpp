// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadCommand.h"
#include "app/WaitUntil.h"
#include "collect/PictureList.h"
#include "download/PathJoin.h"
#include "platform/qt/QtEventLoop.h"
#include "support/FakeWindow.h"
#include "support/LocalHttpServer.h"
#include "support/TaskResult.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

using namespace talvesk;
using talvesk::test::HttpRequest;
using talvesk::test::HttpResponse;

namespace {

// Runs the download and waits for its result.
DownloadResult finishRun(DownloadCommand &command, const CollectedSet &set)
{
    const auto result = test::started(command.run(set));
    EXPECT_TRUE(talvesk::test::waitUntil([&] { return result->has_value(); }));
    return result->value_or(DownloadResult{});
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
    names.sort();
    return names;
}

#ifdef Q_OS_LINUX
// Whether this process holds a file open inside folder: a picture being written, even to an
// unnamed temporary file (which the directory listing does not show).
bool fileOpenIn(const QString &folder)
{
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    const QStringList fds =
        QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System | QDir::Hidden);
    for (const QString &fd : fds) {
        char target[4096];
        const QByteArray link = QFile::encodeName(QStringLiteral("/proc/self/fd/") + fd);
        const ssize_t length = readlink(link.constData(), target, sizeof(target));
        if (length > 0 && QByteArray(target, static_cast<int>(length)).startsWith(prefix))
            return true;
    }
    return false;
}
#endif

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
    }

    QString url(const QString &path) const { return m_server.url(path).toString(); }

    // Runs a download into the temporary folder; `during` runs every few milliseconds while it
    // goes on. One that outlasts 20 s is stopped and ends Unfinished.
    DownloadResult download(const std::function<void(DownloadCommand &)> &during = {})
    {
        m_dialogs.folderAnswers = {m_dir.path()};
        DownloadCommand command(m_window, m_dialogs, m_messages, m_loop, m_options);
        QObject::connect(&command, &DownloadCommand::progressChanged, &command,
                         [this](int percent) { m_progress.append(percent); });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &command, [&] {
            if (during)
                during(command);
        });
        poll.start(2);
        QTimer::singleShot(20000, &command, &DownloadCommand::abort);
        return finishRun(command, m_set);
    }

    QString item(const QString &relative = {}) const
    {
        const QString folder = joinPath(m_dir.path(), QStringLiteral("T"));
        return relative.isEmpty() ? folder : joinPath(folder, relative);
    }

    QTemporaryDir m_dir;
    test::LocalHttpServer m_server;
    test::FakeWindowControls m_window;
    test::FakeDialogs m_dialogs;
    test::FakeMessageList m_messages;
    QtEventLoop m_loop;
    QList<int> m_progress; // as the command reported it
    DownloadOptions m_options = [] {
        DownloadOptions o;
        o.fetch.stallWindowMs = 300;
        o.startFolder = QStringLiteral("/start/here");
        return o;
    }();
    CollectedSet m_set;
};

} // namespace

// Three main, no colour and two description pictures: the tree, the names, the bytes, the
// empty-list box after the main pictures have finished, and the lines in order.
TEST_F(DownloadCommandTest, SavesTheExampleSetInOrder)
{
    for (int i = 0; i < 3; ++i)
        m_set.mainPictures[i] = url(QStringLiteral("/main/%1.jpg").arg(i));
    m_set.descriptionPictures[0] = url(QStringLiteral("/desc/0.jpg"));
    m_set.descriptionPictures[1] = url(QStringLiteral("/desc/1.png"));
    QStringList linesAtBox;
    QStringList mainFilesAtBox;
    m_dialogs.onMessage = [&](const test::FakeDialogs::Box &) {
        linesAtBox = m_messages.lines;
        mainFilesAtBox = entries(item(QStringLiteral("主图")));
    };

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.total, 5);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(result.itemFolder, item());
    ASSERT_EQ(m_window.selectedTabs, QList<WindowControls::Tab>{WindowControls::Tab::Preview});
    ASSERT_EQ(m_dialogs.folderAsked.size(), 1);
    EXPECT_EQ(m_dialogs.folderAsked[0].first, QStringLiteral("请选择保存目录"));
    EXPECT_EQ(m_dialogs.folderAsked[0].second, QDir::toNativeSeparators(m_options.startFolder));

    EXPECT_EQ(entries(item()),
              (QStringList{QStringLiteral("主图"), QStringLiteral("描述图"), QStringLiteral("颜色图")}));
    EXPECT_EQ(entries(item(QStringLiteral("主图"))),
              (QStringList{QStringLiteral("描述主图0.jpg"), QStringLiteral("描述主图1.jpg"),
                           QStringLiteral("描述主图2.jpg")}));
    EXPECT_TRUE(entries(item(QStringLiteral("颜色图"))).isEmpty());
    EXPECT_EQ(entries(item(QStringLiteral("描述图"))),
              (QStringList{QStringLiteral("描述图0.jpg"), QStringLiteral("描述图1.png")}));
    EXPECT_EQ(readFile(item(QStringLiteral("主图/描述主图2.jpg"))), bodyFor("/main/2.jpg"));
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图1.png"))), bodyFor("/desc/1.png"));

    ASSERT_EQ(m_dialogs.boxes.size(), 1);
    EXPECT_EQ(m_dialogs.boxes[0].text, QStringLiteral("无采集到颜色主图"));
    EXPECT_EQ(m_dialogs.boxes[0].title, QStringLiteral("下载提示"));
    EXPECT_EQ(linesAtBox, QStringList{QStringLiteral("图片下载进度:3/5,已完成60%")});
    EXPECT_EQ(mainFilesAtBox.size(), 3);

    EXPECT_EQ(m_messages.lines, (QStringList{QStringLiteral("图片下载完成,保存至:") + item(),
                                             QStringLiteral("图片下载进度:5/5,已完成100%")}));
    ASSERT_FALSE(m_progress.isEmpty());
    EXPECT_EQ(m_progress.first(), 0);
    EXPECT_EQ(m_progress.last(), 100);
}

// The command reads its own copy: changing the caller's set while it runs changes nothing in
// what is saved.
TEST_F(DownloadCommandTest, WorksOnACopyOfTheSet)
{
    m_set.mainPictures[0] = url(QStringLiteral("/a.jpg"));
    const DownloadResult result = download([&](DownloadCommand &) {
        m_set.mainPictures.clear();
        m_set.itemTitle = QStringLiteral("other");
    });
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.total, 1);
    EXPECT_EQ(readFile(item(QStringLiteral("主图/描述主图0.jpg"))), bodyFor("/a.jpg"));
}

// A cancelled dialog, or a choice made before anything was collected, ends silently.
TEST_F(DownloadCommandTest, EndsSilentlyWithoutFolderOrTitle)
{
    m_set.mainPictures[0] = url(QStringLiteral("/a.jpg"));
    DownloadCommand command(m_window, m_dialogs, m_messages, m_loop, m_options);
    EXPECT_EQ(finishRun(command, m_set).outcome, DownloadResult::Outcome::NotStarted);

    m_set.itemTitle.clear();
    m_dialogs.folderAnswers = {m_dir.path()};
    EXPECT_EQ(finishRun(command, m_set).outcome, DownloadResult::Outcome::NotStarted);

    EXPECT_EQ(m_dialogs.folderAsked.size(), 2);
    EXPECT_TRUE(m_messages.lines.isEmpty());
    EXPECT_TRUE(m_dialogs.boxes.isEmpty());
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
    EXPECT_EQ(m_server.requests().size(), 0);
}

// A full list of 256 pictures is saved as files 0 to 255, over at most six kept-alive connections.
TEST_F(DownloadCommandTest, SavesAFullList)
{
    for (int i = 0; i < PictureList::kSlots; ++i)
        m_set.descriptionPictures[i] = url(QStringLiteral("/d/%1.jpg").arg(i));
    const DownloadResult result = download();
    EXPECT_EQ(result.total, 256);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(entries(item(QStringLiteral("描述图"))).size(), 256);
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图0.jpg"))), bodyFor("/d/0.jpg"));
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图255.jpg"))), bodyFor("/d/255.jpg"));
    EXPECT_EQ(m_messages.lines.value(1), QStringLiteral("图片下载进度:256/256,已完成100%"));
    EXPECT_LE(m_server.connectionCount(), 6);
}

// A second download of the same set goes into a new item folder T1, named in the final line.
TEST_F(DownloadCommandTest, SecondDownloadMakesANewItemFolder)
{
    m_set.mainPictures[0] = url(QStringLiteral("/a.jpg"));
    download();
    const DownloadResult second = download();
    const QString t1 = joinPath(m_dir.path(), QStringLiteral("T1"));
    EXPECT_EQ(second.itemFolder, t1);
    EXPECT_EQ(m_messages.lines.first(), QStringLiteral("图片下载完成,保存至:") + t1);
    EXPECT_EQ(readFile(joinPath(t1, QStringLiteral("主图/描述主图0.jpg"))), bodyFor("/a.jpg"));
    EXPECT_TRUE(QFileInfo(item(QStringLiteral("主图/描述主图0.jpg"))).isFile());
}

// File names take the address's last four characters: "webp" without its dot, and a "/"
// among them becomes "_" so the file stays in its folder and slot 1 ending "1jpg" does not
// meet slot 11 ending "/jpg".
TEST_F(DownloadCommandTest, NamesFilesFromTheAddressEnd)
{
    for (int i = 0; i < 12; ++i)
        m_set.mainPictures[i] = url(QStringLiteral("/m%1.jpg").arg(i));
    m_set.mainPictures[1] = url(QStringLiteral("/p/11jpg"));
    m_set.mainPictures[11] = url(QStringLiteral("/p/jpg"));
    for (int i = 0; i < 3; ++i)
        m_set.descriptionPictures[i] = url(QStringLiteral("/d%1.jpg").arg(i));
    m_set.descriptionPictures[3] = url(QStringLiteral("/pic.webp"));
    const DownloadResult result = download();
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(readFile(item(QStringLiteral("描述图/描述图3webp"))), bodyFor("/pic.webp"));
    EXPECT_EQ(readFile(item(QStringLiteral("主图/描述主图11jpg"))), bodyFor("/p/11jpg"));
    EXPECT_EQ(readFile(item(QStringLiteral("主图/描述主图11_jpg"))), bodyFor("/p/jpg"));
    EXPECT_EQ(entries(item(QStringLiteral("主图"))).size(), 12);
}

// The item folder's name holds no control character, and a title over the file system's
// name limit is cut to fit, at a character boundary, with a line saying so; the pictures are
// saved under it.
TEST_F(DownloadCommandTest, FitsTheItemFolderNameToTheFileSystem)
{
    m_set.mainPictures[0] = url(QStringLiteral("/a.jpg"));
    m_set.itemTitle =
        QStringLiteral("新\t款") + QChar(0) + QString(300, QChar(0x5B9D)) + QStringLiteral("\x7f");
    const QString expected = QStringLiteral("新款") + QString(82, QChar(0x5B9D)); // 84 characters, 252 bytes

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.itemFolder, joinPath(m_dir.path(), expected));
    EXPECT_EQ(entries(m_dir.path()), QStringList{expected});
    EXPECT_EQ(readFile(joinPath(result.itemFolder, QStringLiteral("主图/描述主图0.jpg"))), bodyFor("/a.jpg"));
    EXPECT_EQ(m_messages.lines.last(), QStringLiteral("消息提示:宝贝标题过长,文件夹名已截短为:") + expected);

    // A taken name still leaves room for the attempt number.
    EXPECT_EQ(download().itemFolder, joinPath(m_dir.path(), expected + QStringLiteral("1")));
}

// With nothing collected in any list, the line shows 0%, the three boxes come in order and the
// final line follows.
TEST_F(DownloadCommandTest, TotalZero)
{
    const DownloadResult result = download();
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.total, 0);
    ASSERT_EQ(m_dialogs.boxes.size(), 3);
    EXPECT_EQ(m_dialogs.boxes[0].text, QStringLiteral("无采集到主图"));
    EXPECT_EQ(m_dialogs.boxes[1].text, QStringLiteral("无采集到颜色主图"));
    EXPECT_EQ(m_dialogs.boxes[2].text, QStringLiteral("无采集到描述"));
    EXPECT_EQ(m_messages.lines, (QStringList{QStringLiteral("图片下载完成,保存至:") + item(),
                                             QStringLiteral("图片下载进度:0/0,已完成0%")}));
}

// Pictures that fail are listed with their reason and counted before the final line; the
// others are saved and the progress still reaches the total.
TEST_F(DownloadCommandTest, ReportsFailedPictures)
{
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404, "<html>no</html>"));
    m_server.route(QStringLiteral("/cut.jpg"), HttpResponse::ok(bodyFor("/cut.jpg") + QByteArray(40000, 'c'))
                                                   .sendingOnly(100, HttpResponse::Ending::Close));
    m_set.mainPictures[0] = url(QStringLiteral("/gone.jpg"));
    m_set.mainPictures[1] = url(QStringLiteral("/ok.jpg"));
    m_set.colourPictures[0] = url(QStringLiteral("/cut.jpg"));
    m_set.colourPictures[1] = QStringLiteral("file:/etc/passwd?.jpg");

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.failed, 3);
    ASSERT_EQ(m_messages.lines.size(), 6);
    EXPECT_EQ(m_messages.lines[0], QStringLiteral("共有3张图片下载失败"));
    EXPECT_EQ(m_messages.lines[1],
              QStringLiteral("图片下载失败:file:/etc/passwd?.jpg,原因:不支持的地址类型"));
    EXPECT_TRUE(m_messages.lines[2].startsWith(QStringLiteral("图片下载失败:") +
                                               url(QStringLiteral("/cut.jpg")) + QStringLiteral(",原因:")));
    EXPECT_EQ(m_messages.lines[3], QStringLiteral("图片下载失败:") + url(QStringLiteral("/gone.jpg")) +
                                       QStringLiteral(",原因:HTTP 404"));
    EXPECT_EQ(m_messages.lines[4], QStringLiteral("图片下载完成,保存至:") + item());
    EXPECT_EQ(m_messages.lines[5], QStringLiteral("图片下载进度:4/4,已完成100%"));
    EXPECT_EQ(entries(item(QStringLiteral("主图"))), QStringList{QStringLiteral("描述主图1.jpg")});
    EXPECT_TRUE(entries(item(QStringLiteral("颜色图"))).isEmpty());
}

// A download that saved nothing takes its empty item folder away again and ends with the
// failures, not with a line saying it is done; one that is cancelled before its first picture
// does the same.
TEST_F(DownloadCommandTest, SavingNothingLeavesNoFolder)
{
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404, "<html>no</html>"));
    m_set.mainPictures[0] = url(QStringLiteral("/gone.jpg"));
    m_set.descriptionPictures[0] = url(QStringLiteral("/gone.jpg"));

    const DownloadResult result = download();

    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(result.failed, 2);
    EXPECT_TRUE(result.itemFolderRemoved);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
    ASSERT_EQ(m_messages.lines.size(), 4);
    EXPECT_EQ(m_messages.lines[0], QStringLiteral("共有2张图片下载失败"));
    EXPECT_TRUE(m_messages.lines.filter(QStringLiteral("图片下载完成")).isEmpty());

    m_messages.lines.clear();
    m_server.route(QStringLiteral("/slow.jpg"), HttpResponse::ok(bodyFor("/slow.jpg")).delayedBy(10000));
    m_set.mainPictures[0] = url(QStringLiteral("/slow.jpg"));
    const DownloadResult cancelled = download([](DownloadCommand &command) { command.cancel(); });
    EXPECT_EQ(cancelled.outcome, DownloadResult::Outcome::Unfinished);
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
    EXPECT_EQ(m_messages.lines.value(0), QStringLiteral("图片下载已取消,已保存0张"));
}

// An item folder that cannot be created stops the download with a line naming it and why.
TEST_F(DownloadCommandTest, StopsWhenTheItemFolderCannotBeMade)
{
    m_set.mainPictures[0] = url(QStringLiteral("/a.jpg"));
    const QString missing = joinPath(m_dir.path(), QStringLiteral("gone"));
    m_dialogs.folderAnswers = {missing};
    DownloadCommand command(m_window, m_dialogs, m_messages, m_loop, m_options);
    const DownloadResult result = finishRun(command, m_set);
    const QString requested = joinPath(missing, m_set.itemTitle);
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::FolderFailed);
    EXPECT_EQ(m_messages.lines, QStringList{QStringLiteral("无法创建文件夹:") + requested +
                                            QStringLiteral(",原因:上级文件夹不存在")});
    EXPECT_EQ(result.folderError, m_messages.lines.first());
    EXPECT_TRUE(entries(m_dir.path()).isEmpty());
    EXPECT_EQ(m_server.requests().size(), 0);
    EXPECT_TRUE(m_dialogs.boxes.isEmpty());
}

// Stopping while a picture is half received (the window closing) leaves no file behind.
TEST_F(DownloadCommandTest, ShutdownMidDownloadLeavesNoPartialFile)
{
#ifndef Q_OS_LINUX
    GTEST_SKIP() << "watches open files through /proc";
#else
    m_options.fetch.stallWindowMs = 30000;
    m_server.route(QStringLiteral("/slow.jpg"),
                   HttpResponse::ok(bodyFor("/slow.jpg") + QByteArray(100000, 's'))
                       .sendingOnly(30000, HttpResponse::Ending::Hang));
    m_set.mainPictures[0] = url(QStringLiteral("/slow.jpg"));
    m_set.descriptionPictures[0] = url(QStringLiteral("/later.jpg"));
    bool partSeen = false;
    const DownloadResult result = download([&](DownloadCommand &command) {
        // The body's first part is being written.
        partSeen = partSeen || fileOpenIn(item(QStringLiteral("主图")));
        if (partSeen)
            command.abort();
    });

    EXPECT_TRUE(partSeen);
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Unfinished);
    EXPECT_TRUE(entries(item(QStringLiteral("主图"))).isEmpty());
    EXPECT_TRUE(entries(item(QStringLiteral("描述图"))).isEmpty());
    EXPECT_EQ(m_messages.lines, QStringList{QStringLiteral("图片下载进度:0/2,已完成0%")});
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/later.jpg")), 0);
    EXPECT_FALSE(fileOpenIn(item(QStringLiteral("主图"))));
#endif
}
