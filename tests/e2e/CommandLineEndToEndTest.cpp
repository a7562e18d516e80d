// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WaitUntil.h"
#include "support/CurrentLayoutPages.h"
#include "support/Files.h"
#include "support/QStringPrinter.h"
#include "support/SampleShop.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <functional>
#include <memory>

using talvesk::test::dataPage;
using talvesk::test::dataPagePictures;
using talvesk::test::filesUnder;
using talvesk::test::HttpResponse;
using talvesk::test::readFile;
using talvesk::test::SampleItem;
using talvesk::test::SampleShop;
using talvesk::test::waitUntil;

namespace {

struct ProgramRun
{
    bool finished = false;
    bool crashed = false; // ended by a signal
    int exitCode = -1;
    QString out;
    QString err;
};

// The folders of a user of the program, each a fresh one: data (the profile), cache, runtime
// and temporary files.
struct UserFolders
{
    QTemporaryDir data;
    QTemporaryDir cache;
    QTemporaryDir runtime; // private, as a login session's is
    QTemporaryDir temp;
    QHash<QString, QString> variables; // set for the run besides

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QTWEBENGINE_CHROMIUM_FLAGS"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("TMPDIR"), temp.path());
        for (auto variable = variables.cbegin(); variable != variables.cend(); ++variable)
            environment.insert(variable.key(), variable.value());
        return environment;
    }

    // Holds the profile as an open window does, so that a run browses on a copy of it.
    std::unique_ptr<QLockFile> holdProfile() const
    {
        const QString profile = data.filePath(QStringLiteral("Talvesk/QtWebEngine/talvesk"));
        QDir().mkpath(profile);
        auto lock = std::make_unique<QLockFile>(QDir(profile).filePath(QStringLiteral("talvesk.lock")));
        return lock->tryLock() ? std::move(lock) : nullptr;
    }

    // The processes of a run, the browser engine's included: those that inherited this
    // runtime folder.
    QStringList processes() const
    {
        const QByteArray mark = "XDG_RUNTIME_DIR=" + QFile::encodeName(runtime.path());
        QStringList found;
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
            if (pid.toInt() > 0 && environ.open(QIODevice::ReadOnly) &&
                environ.readAll().split('\0').contains(mark))
                found.append(pid);
        }
        return found;
    }

    // Folders a run made for a copy of the profile, wherever they are.
    QStringList profileCopies() const
    {
        QStringList copies;
        for (const QString &place : {runtime.path(), cache.path(), temp.path()}) {
            QDirIterator it(place, {QStringLiteral("*profile-copy*")}, QDir::Dirs | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                copies.append(it.next());
        }
        return copies;
    }
};

// Runs the built program as a user would, with no display of any kind, while this process
// keeps serving the sample shop.
ProgramRun runTalvesk(const QStringList &arguments, const QByteArray &input = {},
                      const UserFolders *folders = nullptr, const std::function<void()> &childSetUp = {})
{
    const UserFolders ownFolders;
    QProcess process;
    process.setProcessEnvironment((folders ? *folders : ownFolders).environment());
    if (childSetUp)
        process.setChildProcessModifier(childSetUp);
    process.start(QStringLiteral(TALVESK_EXECUTABLE), arguments);
    process.write(input);
    process.closeWriteChannel();
    // The shop is served meanwhile; a run still going at the test's deadline is a hang.
    waitUntil([&] { return process.state() == QProcess::NotRunning; });

    ProgramRun run;
    run.finished = process.state() == QProcess::NotRunning;
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list.append(item.toString());
    return list;
}

QString fileOf(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

} // namespace

// --save writes the tree with the served bytes, making missing parents, and prints the item folder.
TEST(CommandLineEndToEnd, SaveWritesTheTreeAndPrintsTheItemFolder)
{
    SampleShop shop;
    const SampleItem item = shop.taobaoItem();
    QTemporaryDir temporary;
    const QString target = QDir(temporary.path()).filePath(QStringLiteral("新的/保存目录"));

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--save"), target,
                    QStringLiteral("--jobs"), QStringLiteral("2")});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);

    const QString itemFolder = QDir(target).filePath(item.itemTitle);
    EXPECT_EQ(run.out, itemFolder + QLatin1Char('\n'));
    const struct
    {
        QString subfolder;
        QString prefix;
        const QStringList &addresses;
    } lists[] = {
        {QStringLiteral("主图"), QStringLiteral("描述主图"), item.mainPictures},
        {QStringLiteral("颜色图"), QStringLiteral("颜色主图"), item.colourPictures},
        {QStringLiteral("描述图"), QStringLiteral("描述图"), item.descriptionPictures},
    };
    for (const auto &list : lists) {
        const QString folder = fileOf(itemFolder, list.subfolder);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), list.addresses.size()) << qPrintable(folder);
        for (int n = 0; n < list.addresses.size(); ++n) {
            const QString name = list.prefix + QString::number(n) + list.addresses[n].right(4);
            EXPECT_EQ(readFile(fileOf(folder, name)),
                      SampleShop::pictureBytes(QUrl(list.addresses[n]).path()))
                << qPrintable(name);
        }
    }
    EXPECT_TRUE(run.err.contains(QStringLiteral("图片下载完成,保存至:") + itemFolder)) << qPrintable(run.err);

    EXPECT_FALSE(QFileInfo::exists(fileOf(itemFolder, QStringLiteral("视频"))))
        << "a video folder without a video";
}

// A picture the server does not have gives exit status 1 and a line naming it; the rest is saved.
TEST(CommandLineEndToEnd, MissingPictureGivesStatusOne)
{
    SampleShop shop;
    const SampleItem item = shop.taobaoItem();
    const QString missing = item.mainPictures.at(1);
    shop.server().route(QUrl(missing).path(), HttpResponse::withStatus(404, "<html>gone</html>"));
    QTemporaryDir target;

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--save"), target.path()});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(missing)) << qPrintable(run.err);
    const QString mainFolder = QDir(target.path()).filePath(item.itemTitle + QStringLiteral("/主图"));
    EXPECT_FALSE(QFile::exists(fileOf(mainFolder, QStringLiteral("描述主图1.jpg"))));
    EXPECT_TRUE(QFile::exists(fileOf(mainFolder, QStringLiteral("描述主图0.jpg"))));
}

// A target folder that cannot be made gives status 4 and a line naming it and saying why.
TEST(CommandLineEndToEnd, UncreatableFolderGivesStatusFour)
{
    SampleShop shop;
    const SampleItem item = shop.taobaoItem();
    QTemporaryDir target;
    const QString blocker = QDir(target.path()).filePath(QStringLiteral("a-file"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--save"), blocker});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 4) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(QStringLiteral("talvesk: cannot create a folder: 无法创建文件夹:") +
                                 blocker + QStringLiteral(",原因:同名文件已存在")))
        << qPrintable(run.err);
    EXPECT_TRUE(run.out.isEmpty());
}

// --help prints the usage on stdout with status 0; --version answers at once.
TEST(CommandLineEndToEnd, HelpAndVersion)
{
    const ProgramRun help = runTalvesk({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("talvesk collect [ADDRESS...]")));

    const ProgramRun version = runTalvesk({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.contains(QStringLiteral("软件版本:Ver2.3")));
}

// A login page stops the batch with status 5; items never started are named and never requested.
TEST(CommandLineEndToEnd, BatchThatMeetsALoginPageStops)
{
    SampleShop shop;
    const SampleItem first = shop.taobaoItem();
    const SampleItem later = shop.tmallItem();
    const QString loginPath = QStringLiteral("/member/login.jhtml?redirectURL=item");
    shop.server().route(loginPath,
                        HttpResponse::html(QStringLiteral(
                            "<html><head><title>登录</title></head><body><form><input id=\"fm-login-id\">"
                            "<input id=\"fm-login-password\" type=\"password\"></form></body></html>")));
    shop.server().route(QStringLiteral("/login-first/item.htm"), HttpResponse::redirect(loginPath.toUtf8()));
    const QString gated = shop.server().url(QStringLiteral("/login-first/item.htm")).toString();
    const QString tall = shop.tallItem(1000, 2).url.toString();

    const ProgramRun run = runTalvesk({QStringLiteral("collect"), first.url.toString(), gated,
                                       later.url.toString(), tall, QStringLiteral("--json")});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 5) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(QStringLiteral("talvesk: ") + gated +
                                 QStringLiteral(": 采集失败:网站要求登录,请在浏览器中登录后重新采集")))
        << qPrintable(run.err);
    for (const QString &never : {later.url.toString(), tall})
        EXPECT_TRUE(run.err.contains(QStringLiteral("talvesk: ") + never + QStringLiteral(": not collected")))
            << qPrintable(run.err);
    EXPECT_EQ(shop.server().requestCount(later.url.path()), 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << qPrintable(run.out);
    EXPECT_EQ(strings(QJsonDocument::fromJson(lines[0].toUtf8()).object().value(QStringLiteral("main"))),
              first.mainPictures);
}

// --input - adds its addresses; an overlong one fails at once with status 3, shown only in part.
TEST(CommandLineEndToEnd, AddressListFromStandardInput)
{
    SampleShop shop;
    const SampleItem taobao = shop.taobaoItem();
    const SampleItem tmall = shop.tmallItem();
    const QString overlong = shop.server().url(QStringLiteral("/item.htm")).toString() +
                             QStringLiteral("?id=") + QString(3 * 1024 * 1024, QLatin1Char('7'));
    // A line with a NUL byte is no address; a text shared from the app names its address.
    const QByteArray withNul =
        shop.server().url(QStringLiteral("/item.htm")).toString().toUtf8() + '\0' + "\x1b[2J";
    const QByteArray list = "# today's items\n\n" + overlong.toUtf8() + '\n' + withNul + '\n' +
                            "【淘宝】2026新款 " + tmall.url.toString().toUtf8() +
                            " 点击链接直接打开\n  # done\n";

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), taobao.url.toString(), QStringLiteral("--input"),
                    QStringLiteral("-"), QStringLiteral("--json")},
                   list);
    ASSERT_TRUE(run.finished) << qPrintable(run.err.left(2000));
    EXPECT_EQ(run.exitCode, 3) << qPrintable(run.err.left(2000));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << qPrintable(run.out.left(2000));
    EXPECT_EQ(QJsonDocument::fromJson(lines[0].toUtf8()).object().value(QStringLiteral("address")).toString(),
              taobao.url.toString());
    EXPECT_EQ(QJsonDocument::fromJson(lines[1].toUtf8()).object().value(QStringLiteral("address")).toString(),
              tmall.url.toString());
    EXPECT_TRUE(run.err.contains(QStringLiteral("talvesk: ") + overlong.left(200) +
                                 QStringLiteral("…: the address is longer than the browser takes")))
        << qPrintable(run.err.left(2000));
    EXPECT_FALSE(run.err.contains(overlong.left(201))) << "the address is echoed beyond its start";
    EXPECT_FALSE(run.err.contains(QStringLiteral("秒内未能完成载入"))) << "it waited for the time limit";
    EXPECT_LT(run.err.size(), 4096) << qPrintable(run.err.left(2000));
    EXPECT_TRUE(run.err.contains(QStringLiteral("/item.htm\\x00\\x1b[2J: not a web address")))
        << qPrintable(run.err.left(2000));
    EXPECT_FALSE(run.err.contains(QChar(0)) || run.err.contains(QChar(0x1b)))
        << "a control character reached the terminal";
}

// --pages 3 prints every list in the order given though the first finishes last; lines say the place.
TEST(CommandLineEndToEnd, SeveralPagesKeepTheInputOrder)
{
    SampleShop shop;
    const SampleItem slow = shop.taobaoItem();
    const SampleItem tmall = shop.tmallItem();
    const SampleItem growing = shop.growingItem();
    // The first page's markup is held back until the other two have been collected.
    shop.server().hold(slow.url.path());

    const UserFolders folders;
    QProcess process;
    process.setProcessEnvironment(folders.environment());
    QByteArray err;
    QObject::connect(&process, &QProcess::readyReadStandardError, &process,
                     [&] { err += process.readAllStandardError(); });
    process.start(QStringLiteral(TALVESK_EXECUTABLE),
                  {QStringLiteral("collect"), slow.url.toString(), tmall.url.toString(),
                   growing.url.toString(), QStringLiteral("--json"), QStringLiteral("--pages"),
                   QStringLiteral("3")});
    const auto othersDone = [&] {
        const QString text = QString::fromUtf8(err);
        return text.contains(QStringLiteral("[2/3] 图片采集完成")) &&
               text.contains(QStringLiteral("[3/3] 图片采集完成"));
    };
    const bool othersFirst = waitUntil(othersDone);
    shop.server().release(slow.url.path());
    ASSERT_TRUE(othersFirst) << qPrintable(QString::fromUtf8(err));
    ASSERT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
    err += process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 0) << qPrintable(QString::fromUtf8(err));

    const SampleItem *items[] = {&slow, &tmall, &growing};
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << qPrintable(lines.join(u'\n'));
    for (int i = 0; i < 3; ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(object.value(QStringLiteral("address")).toString(), items[i]->url.toString());
        EXPECT_EQ(object.value(QStringLiteral("title")).toString(), items[i]->itemTitle);
        EXPECT_EQ(strings(object.value(QStringLiteral("main"))), items[i]->mainPictures);
        EXPECT_EQ(strings(object.value(QStringLiteral("colour"))), items[i]->colourPictures);
        EXPECT_EQ(strings(object.value(QStringLiteral("description"))), items[i]->descriptionPictures);
    }
    EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("[1/3] 图片采集完成,主图数:9,描述图数:9")))
        << qPrintable(QString::fromUtf8(err));
}

// Four pages growing late from their scroll handlers are each scrolled to their final end.
TEST(CommandLineEndToEnd, PagesThatGrowLateAreScrolledToTheirEnd)
{
    SampleShop shop;
    QList<SampleItem> items;
    QStringList arguments{QStringLiteral("collect"), QStringLiteral("--json"), QStringLiteral("--pages"),
                          QStringLiteral("4")};
    for (int copy = 1; copy <= 4; ++copy) {
        items.append(shop.lateGrowingItem(copy));
        arguments.append(items.last().url.toString());
    }

    const ProgramRun run = runTalvesk(arguments);
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), items.size()) << qPrintable(run.out);
    for (int i = 0; i < items.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(strings(object.value(QStringLiteral("description"))), items[i].descriptionPictures)
            << "page " << i + 1;
    }
}

// A busy page fails at its limit and holds up no other page of the batch.
TEST(CommandLineEndToEnd, BusyPageHoldsOnlyItsOwnPlace)
{
    SampleShop shop;
    const SampleItem item = shop.tmallItem();
    shop.server().route(
        QStringLiteral("/busy"),
        HttpResponse::html(QStringLiteral(
            "<html><head><title>Busy</title></head><body style=\"height:5000px\"><script>"
            "setTimeout(function () { var end = Date.now() + 60000; while (Date.now() < end) {} }, 300);"
            "</script></body></html>")));
    const QString busy = shop.server().url(QStringLiteral("/busy")).toString();

    const ProgramRun run = runTalvesk(
        {QStringLiteral("collect"), busy, item.url.toString(), QStringLiteral("--json"),
         QStringLiteral("--pages"), QStringLiteral("2"), QStringLiteral("--timeout"), QStringLiteral("6")});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 3) << qPrintable(run.err);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << qPrintable(run.out);
    EXPECT_EQ(
        strings(QJsonDocument::fromJson(lines[0].toUtf8()).object().value(QStringLiteral("description"))),
        item.descriptionPictures);
    EXPECT_TRUE(run.err.contains(QStringLiteral("[2/2] 图片采集完成"))) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("[1/2] talvesk: %1: 采集失败:网页在6秒内未能完成载入和滚动").arg(busy)))
        << qPrintable(run.err);
}

// Without --verbose stderr holds only the program's own lines; with it, the engine's too.
TEST(CommandLineEndToEnd, QuietTerminalUnlessVerbose)
{
    SampleShop shop;
    const SampleItem item = shop.tmallItem();

    const ProgramRun quiet =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--json")});
    ASSERT_TRUE(quiet.finished) << qPrintable(quiet.err);
    EXPECT_EQ(quiet.exitCode, 0) << qPrintable(quiet.err);
    for (const QString &line : quiet.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("消息提示")) ||
                    line.startsWith(QStringLiteral("图片采集完成")))
            << qPrintable(line);
    }

    const ProgramRun verbose = runTalvesk({QStringLiteral("collect"), item.url.toString(),
                                           QStringLiteral("--json"), QStringLiteral("--verbose")});
    ASSERT_TRUE(verbose.finished) << qPrintable(verbose.err);
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("qt.webenginecontext"))) << qPrintable(verbose.err);
}

// A list yielding no address (empty, comments only, closed stdin) is the usage error of none.
TEST(CommandLineEndToEnd, AddressListWithoutAddressIsAUsageError)
{
    const QString expected = QStringLiteral("talvesk: collect needs at least one address\n");
    const struct
    {
        const char *what;
        QStringList arguments;
        QByteArray input;
        std::function<void()> childSetUp;
    } cases[] = {
        {"/dev/null",
         {QStringLiteral("collect"), QStringLiteral("--input"), QStringLiteral("/dev/null")},
         {},
         {}},
        {"comments only",
         {QStringLiteral("collect"), QStringLiteral("--input"), QStringLiteral("-"),
          QStringLiteral("--json")},
         "# nothing today\n\n   \n",
         {}},
        {"closed standard input",
         {QStringLiteral("collect"), QStringLiteral("--input"), QStringLiteral("-")},
         {},
         [] { close(STDIN_FILENO); }},
    };
    for (const auto &c : cases) {
        const ProgramRun run = runTalvesk(c.arguments, c.input, nullptr, c.childSetUp);
        ASSERT_TRUE(run.finished) << c.what;
        EXPECT_EQ(run.exitCode, 2) << c.what << ": " << qPrintable(run.err);
        EXPECT_TRUE(run.err.startsWith(expected)) << c.what << ": " << qPrintable(run.err);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: talvesk"))) << c.what;
        EXPECT_TRUE(run.out.isEmpty()) << c.what;
    }
}

// A full disk fails only the pictures that do not fit, with status 1; the next item still runs.
TEST(CommandLineEndToEnd, FullDiskFailsOnlyThePicturesThatDoNotFit)
{
    QTemporaryDir mountPoint;
    const QByteArray place = QFile::encodeName(mountPoint.path());
    if (mount("tmpfs", place.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=640k,mode=0700") != 0)
        GTEST_SKIP() << "no small file system to fill: mount: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { umount2(place.constData(), MNT_DETACH); });

    SampleShop shop;
    const SampleItem first = shop.taobaoItem();
    const SampleItem second = shop.tmallItem();
    QList<QByteArray> served;
    for (const SampleItem *item : {&first, &second}) {
        for (const QString &picture : item->mainPictures + item->colourPictures + item->descriptionPictures) {
            const QString path = QUrl(picture).path();
            const QByteArray bytes = SampleShop::pictureBytes(path) + QByteArray(60000, 'x');
            served.append(bytes);
            shop.server().route(path, HttpResponse::ok(bytes, "image/jpeg").delayedBy(30));
        }
    }

    // Freed memory is written over, so that a use after it was freed, which would often read
    // what was there before, shows: under the sanitizers, also inside libraries they do not see.
    UserFolders folders;
    folders.variables.insert(QStringLiteral("ASAN_OPTIONS"),
                             qEnvironmentVariable("ASAN_OPTIONS") +
                                 QStringLiteral(":max_free_fill_size=1048576:free_fill_byte=190"));
    folders.variables.insert(QStringLiteral("MALLOC_PERTURB_"), QStringLiteral("165"));

    const ProgramRun run = runTalvesk({QStringLiteral("collect"), first.url.toString(), second.url.toString(),
                                       QStringLiteral("--save"), mountPoint.path(), QStringLiteral("--jobs"),
                                       QStringLiteral("2")},
                                      {}, &folders);
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    ASSERT_FALSE(run.crashed) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(QStringLiteral(",原因:磁盘空间不足"))) << qPrintable(run.err);
    EXPECT_EQ(run.out, QDir(mountPoint.path()).filePath(first.itemTitle) + QLatin1Char('\n') +
                           QDir(mountPoint.path()).filePath(second.itemTitle) + QLatin1Char('\n'));
    const QStringList files = filesUnder(mountPoint.path());
    EXPECT_FALSE(files.isEmpty()) << "the disk was full from the start";
    const QRegularExpression pictureName(QStringLiteral("^(描述主图|颜色主图|描述图)[0-9]+\\.(jpg|png)$"));
    for (const QString &file : files) {
        if (QFileInfo(file).fileName() == QStringLiteral("talvesk.json"))
            continue;
        EXPECT_TRUE(pictureName.match(QFileInfo(file).fileName()).hasMatch()) << qPrintable(file);
        EXPECT_TRUE(served.contains(readFile(file))) << "not whole: " << qPrintable(file);
    }
    // Each item folder's record is whole, or the run says it could not be written.
    for (const SampleItem *item : {&first, &second}) {
        const QString record =
            QDir(mountPoint.path()).filePath(item->itemTitle + QStringLiteral("/talvesk.json"));
        EXPECT_TRUE(QJsonDocument::fromJson(readFile(record)).isObject() ||
                    run.err.contains(QStringLiteral("cannot write ") + record))
            << qPrintable(run.err);
    }
}

// SIGTERM ends every page at once: 143, no request after it, nothing left behind.
TEST(CommandLineEndToEnd, StopEndsEveryPageOfABatch)
{
    SampleShop shop;
    QStringList arguments{QStringLiteral("collect")};
    QStringList pictures;
    for (int n = 1; n <= 3; ++n) {
        // Each page loads until its own picture arrives, which it never does.
        const QString picture = QStringLiteral("/pics/held%1.jpg").arg(n);
        shop.server().route(picture, HttpResponse::ok(SampleShop::pictureBytes(picture), "image/jpeg")
                                         .sendingOnly(0, HttpResponse::Ending::Hang));
        const QString page = QStringLiteral("/loading%1/item.htm").arg(n);
        shop.server().route(page,
                            HttpResponse::html(QStringLiteral("<html><head><title>载入中</title>"
                                                              "<link rel=\"icon\" href=\"data:,\"></head>"
                                                              "<body><img src=\"%1\"></body></html>")
                                                   .arg(picture)));
        arguments.append(shop.server().url(page).toString());
        pictures.append(picture);
    }
    UserFolders folders;
    const std::unique_ptr<QLockFile> window = folders.holdProfile();
    ASSERT_TRUE(window);
    QTemporaryDir target;

    QProcess process;
    process.setProcessEnvironment(folders.environment());
    process.start(QStringLiteral(TALVESK_EXECUTABLE),
                  arguments + QStringList{QStringLiteral("--pages"), QStringLiteral("3"),
                                          QStringLiteral("--timeout"), QStringLiteral("100"),
                                          QStringLiteral("--save"), target.path()});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(pictures.cbegin(), pictures.cend(),
                           [&](const QString &picture) { return shop.server().requestCount(picture) > 0; });
    })) << qPrintable(QString::fromUtf8(process.readAllStandardError()));
    const qsizetype requestsBefore = shop.server().requests().size();

    ASSERT_EQ(kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
    const bool ended = waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30'000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    const QString err = QString::fromUtf8(process.readAllStandardError());
    ASSERT_TRUE(ended) << "a page went on after the signal: " << qPrintable(err);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << qPrintable(err);
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM) << qPrintable(err);
    EXPECT_FALSE(err.contains(QStringLiteral("采集失败")))
        << "a stopped page failed aloud: " << qPrintable(err);
    QStringList later;
    for (qsizetype i = requestsBefore; i < shop.server().requests().size(); ++i)
        later.append(QString::fromUtf8(shop.server().requests().at(i).path));
    EXPECT_TRUE(later.isEmpty()) << qPrintable(later.join(QLatin1Char(' ')));
    EXPECT_TRUE(QDir(target.path()).isEmpty());
    EXPECT_TRUE(folders.profileCopies().isEmpty())
        << qPrintable(folders.profileCopies().join(QLatin1Char(' ')));
    EXPECT_TRUE(waitUntil([&] { return folders.processes().isEmpty(); }, 10'000))
        << qPrintable(folders.processes().join(QLatin1Char(' ')));
}

// A page whose handler for leaving never returns holds up no item: each gets a fresh page.
TEST(CommandLineEndToEnd, PageThatWillNotLetGoHoldsUpNoOtherItem)
{
    SampleShop shop;
    const SampleItem item = shop.tmallItem();
    QStringList arguments{QStringLiteral("collect")};
    QStringList trapPictures;
    for (const QString &event :
         {QStringLiteral("beforeunload"), QStringLiteral("pagehide"), QStringLiteral("unload")}) {
        const QString page = QStringLiteral("/trap-%1/item.htm").arg(event);
        shop.server().route(
            page,
            HttpResponse::html(
                QStringLiteral("<html><head><title>不放手的样品</title></head><body>"
                               "<div id=\"detail\"><img data-src=\"//127.0.0.1:%1/pics/%2.jpg_50x50.jpg\">"
                               "</div><script>addEventListener('%2', function () { for (;;) {} });"
                               "</script></body></html>")
                    .arg(shop.port())
                    .arg(event)));
        arguments << shop.server().url(page).toString() << item.url.toString();
        trapPictures.append(QStringLiteral("http://127.0.0.1:%1/pics/%2.jpg").arg(shop.port()).arg(event));
    }

    const ProgramRun run = runTalvesk(
        arguments + QStringList{QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("20")});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << qPrintable(run.err);
    for (int i = 0; i < 6; ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(strings(object.value(QStringLiteral("main"))),
                  i % 2 == 0 ? QStringList{trapPictures[i / 2]} : item.mainPictures)
            << i;
    }
}

// A trapping description document costs no later item; a page staying simplified gives status 1.
TEST(CommandLineEndToEnd, BatchOfTodaysPages)
{
    SampleShop shop;
    const quint16 port = shop.port();
    const QStringList one{QStringLiteral("g1")};
    talvesk::test::routeTrapThenNextItem(shop);
    shop.server().route(QStringLiteral("/simple/item.htm"), HttpResponse::html(dataPage(port, one, one)));

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), shop.server().url(QStringLiteral("/trap/item.htm")).toString(),
                    shop.server().url(QStringLiteral("/next/item.htm")).toString(),
                    shop.server().url(QStringLiteral("/simple/item.htm")).toString(),
                    QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("20")});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << qPrintable(run.err);
    const auto item = [&](int i) { return QJsonDocument::fromJson(lines[i].toUtf8()).object(); };
    EXPECT_EQ(strings(item(0).value(QStringLiteral("description"))),
              dataPagePictures(port, {QStringLiteral("d1")}));
    EXPECT_EQ(strings(item(1).value(QStringLiteral("description"))),
              dataPagePictures(port, {QStringLiteral("d2")}));
    EXPECT_EQ(strings(item(1).value(QStringLiteral("colour"))),
              dataPagePictures(port, {QStringLiteral("v1")}));
    EXPECT_EQ(strings(item(1).value(QStringLiteral("colourNames"))), QStringList{QStringLiteral("雾蓝")});
    EXPECT_EQ(strings(item(2).value(QStringLiteral("main"))), dataPagePictures(port, one));
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("/simple/item.htm: the marketplace served a simplified page")))
        << qPrintable(run.err);
    EXPECT_EQ(shop.server().requestCount(QStringLiteral("/simple/item.htm")), 3);
}

// Results that cannot be written fail the run with status 1 and why; the pictures stay.
TEST(CommandLineEndToEnd, UnwritableResultsFailTheRun)
{
    SampleShop shop;
    const SampleItem item = shop.tmallItem();
    QTemporaryDir target;

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--save"), target.path()},
                   {}, nullptr, [] {
                       const int full = open("/dev/full", O_WRONLY);
                       if (full < 0 || dup2(full, STDOUT_FILENO) < 0)
                           _exit(99);
                   });
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    EXPECT_TRUE(run.err.endsWith(QStringLiteral("talvesk: cannot write the results: ") +
                                 QString::fromLocal8Bit(std::strerror(ENOSPC)) + QLatin1Char('\n')))
        << qPrintable(run.err);
    // Every picture, and the item folder's record.
    EXPECT_EQ(filesUnder(target.path()).size(),
              item.mainPictures.size() + item.colourPictures.size() + item.descriptionPictures.size() + 1);
}

// SIGINT, again and again, mid-download: 130, no partial file, no copy of the profile.
TEST(CommandLineEndToEnd, InterruptMidDownloadLeavesNoPartialFileAndNoProfileCopy)
{
    const int signalNumber = SIGINT;
    SampleShop shop;
    const SampleItem item = shop.taobaoItem();
    for (const QString &picture : item.mainPictures) {
        const QString path = QUrl(picture).path();
        const QByteArray bytes = SampleShop::pictureBytes(path);
        shop.server().route(
            path,
            HttpResponse::ok(bytes, "image/jpeg").sendingOnly(bytes.size() / 2, HttpResponse::Ending::Hang));
    }
    UserFolders folders;
    const std::unique_ptr<QLockFile> window = folders.holdProfile();
    ASSERT_TRUE(window);
    QTemporaryDir target;

    QProcess process;
    process.setProcessEnvironment(folders.environment());
    process.start(QStringLiteral(TALVESK_EXECUTABLE),
                  {QStringLiteral("collect"), item.url.toString(), QStringLiteral("--save"), target.path()});
    ASSERT_TRUE(process.waitForStarted());
    // The fetches have begun and got half of each picture.
    const QString firstPicture = QUrl(item.mainPictures.at(0)).path();
    ASSERT_TRUE(waitUntil([&] { return shop.server().requestCount(firstPicture) > 0; }))
        << qPrintable(QString::fromUtf8(process.readAllStandardError()));

    ASSERT_EQ(folders.profileCopies().size(), 1) << qPrintable(folders.profileCopies().join(u' '));

    const pid_t pid = static_cast<pid_t>(process.processId());
    ASSERT_EQ(kill(pid, signalNumber), 0);
    // An impatient user presses Ctrl-C again and again, every millisecond, until the run has
    // stopped.
    QTimer again;
    QObject::connect(&again, &QTimer::timeout, &again, [&] {
        if (process.state() != QProcess::NotRunning)
            kill(pid, SIGINT);
    });
    again.start(1);
    ASSERT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
    again.stop();
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << qPrintable(err);
    EXPECT_EQ(process.exitCode(), 128 + signalNumber) << qPrintable(err);
    EXPECT_TRUE(err.contains(QStringLiteral("talvesk: stopped by signal %1").arg(signalNumber)))
        << qPrintable(err);
    EXPECT_TRUE(filesUnder(target.path()).isEmpty())
        << qPrintable(filesUnder(target.path()).join(QLatin1Char(' ')));
    EXPECT_TRUE(folders.profileCopies().isEmpty())
        << qPrintable(folders.profileCopies().join(QLatin1Char(' ')));
}

// The profile copy of a run that was killed outright stays behind; the next run removes it.
TEST(CommandLineEndToEnd, NextRunRemovesTheCopyOfAKilledRun)
{
    SampleShop shop;
    const SampleItem item = shop.tmallItem();
    UserFolders folders;
    {
        const std::unique_ptr<QLockFile> window = folders.holdProfile();
        ASSERT_TRUE(window);
        QProcess killed;
        killed.setProcessEnvironment(folders.environment());
        killed.start(
            QStringLiteral(TALVESK_EXECUTABLE),
            {QStringLiteral("collect"), shop.neverFinishingPage().toString(), QStringLiteral("--json")});
        ASSERT_TRUE(killed.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return !folders.profileCopies().isEmpty(); }));
        killed.kill();
        ASSERT_TRUE(waitUntil([&] { return killed.state() == QProcess::NotRunning; }));
    }
    ASSERT_EQ(folders.profileCopies().size(), 1);

    const ProgramRun next =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--json")}, {}, &folders);
    ASSERT_TRUE(next.finished) << qPrintable(next.err);
    EXPECT_EQ(next.exitCode, 0) << qPrintable(next.err);
    EXPECT_TRUE(folders.profileCopies().isEmpty())
        << qPrintable(folders.profileCopies().join(QLatin1Char(' ')));
}

// With no private place for a copy of the profile in use, the run says so and goes without cookies.
TEST(CommandLineEndToEnd, NoPrivatePlaceForTheCopyBrowsesWithoutCookies)
{
    SampleShop shop;
    const SampleItem item = shop.tmallItem();
    UserFolders folders;
    const std::unique_ptr<QLockFile> window = folders.holdProfile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QFile::setPermissions(folders.runtime.path(),
                                      QFile::permissions(folders.runtime.path()) | QFileDevice::ExeOther));
    QFile blocker(folders.cache.filePath(QStringLiteral("talvesk")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), item.url.toString(), QStringLiteral("--json")}, {}, &folders);
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("talvesk: no private folder for a copy of the cookies (cannot create ") +
        blocker.fileName()))
        << qPrintable(run.err);
    EXPECT_TRUE(folders.profileCopies().isEmpty())
        << qPrintable(folders.profileCopies().join(QLatin1Char(' ')));
    EXPECT_EQ(strings(QJsonDocument::fromJson(run.out.toUtf8()).object().value(QStringLiteral("main"))),
              item.mainPictures);
}

// --skip-saved loads nothing for an item saved whole already, says where it is and prints it.
TEST(CommandLineEndToEnd, SkipSavedLoadsNothingForASavedItem)
{
    SampleShop shop;
    const SampleItem item = shop.tallItem(1000, 2);
    QTemporaryDir target;
    const QStringList arguments{QStringLiteral("collect"), item.url.toString(), QStringLiteral("--save"),
                                target.path(), QStringLiteral("--skip-saved")};
    const ProgramRun first = runTalvesk(arguments);
    ASSERT_TRUE(first.finished) << qPrintable(first.err);
    ASSERT_EQ(first.exitCode, 0) << qPrintable(first.err);
    const int loads = shop.server().requestCount(item.url.path());
    ASSERT_GT(loads, 0);

    const ProgramRun again = runTalvesk(arguments);
    ASSERT_TRUE(again.finished) << qPrintable(again.err);
    EXPECT_EQ(again.exitCode, 0) << qPrintable(again.err);
    EXPECT_EQ(shop.server().requestCount(item.url.path()), loads);
    EXPECT_EQ(again.out, first.out);
    EXPECT_TRUE(again.err.contains(QStringLiteral(": skipped, saved already in ") + first.out.trimmed()))
        << qPrintable(again.err);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

// --pause keeps a time between the starts of two item pages, as the server sees them.
TEST(CommandLineEndToEnd, PauseSpacesTheItemPages)
{
    SampleShop shop;
    const SampleItem first = shop.tallItem(1000, 2);
    const SampleItem second = shop.tallItem(1200, 2);
    const ProgramRun run =
        runTalvesk({QStringLiteral("collect"), first.url.toString(), second.url.toString(),
                    QStringLiteral("--json"), QStringLiteral("--pause"), QStringLiteral("2.5")});
    ASSERT_TRUE(run.finished) << qPrintable(run.err);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    qint64 firstAt = 0;
    qint64 secondAt = 0;
    for (const talvesk::test::HttpRequest &request : shop.server().requests()) {
        if (request.path == first.url.path().toUtf8() && firstAt == 0)
            firstAt = request.receivedAtMs;
        if (request.path == second.url.path().toUtf8() && secondAt == 0)
            secondAt = request.receivedAtMs;
    }
    ASSERT_GT(firstAt, 0);
    ASSERT_GT(secondAt, 0);
    EXPECT_GE(secondAt - firstAt, 2000) << "started " << secondAt - firstAt << " ms apart";
}
