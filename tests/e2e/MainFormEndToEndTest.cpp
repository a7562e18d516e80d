// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainForm.h"
#include "app/MainFormCommands.h"
#include "app/PictureChoiceModel.h"

#include "app/CollectMessages.h"
#include "app/LineMenu.h"
#include "app/WaitUntil.h"
#include "collect/CollectCommand.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtPageBrowser.h"
#include "support/CurrentLayoutPages.h"
#include "support/FakeDialogs.h"
#include "support/Files.h"
#include "support/QStringPrinter.h"
#include "support/SampleShop.h"
#include "support/SyncDocument.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using talvesk::CollectCommand;
using talvesk::CollectMessages;
using talvesk::MainForm;
using talvesk::MainFormCommands;
using talvesk::MainFormSetup;
using talvesk::PageBrowser;
using talvesk::QtPageBrowser;
using talvesk::test::currentLayoutPage;
using talvesk::test::FakeDialogs;
using talvesk::test::Generation;
using talvesk::test::HttpResponse;
using talvesk::test::ItemPageMarkup;
using talvesk::test::Marketplace;
using talvesk::test::SampleItem;
using talvesk::test::SampleShop;
using talvesk::test::waitUntil;

namespace {

// Runs an action once a condition holds, checked every few milliseconds from the event loop,
// which keeps turning while a command waits in it.
class WhenReady final
{
public:
    WhenReady(std::function<bool()> condition, std::function<void()> action)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer,
                         [this, condition = std::move(condition), action = std::move(action)] {
                             if (!condition())
                                 return;
                             m_timer.stop();
                             m_done = true;
                             action();
                         });
        m_timer.start();
    }
    bool done() const { return m_done; }

private:
    QTimer m_timer;
    bool m_done = false;
};

class MainFormEndToEndTest : public ::testing::Test
{
protected:
    MainFormEndToEndTest() { start(); }

    // Opens the window, with what the last one kept.
    void start()
    {
        MainFormSetup setup;
        setup.dialogs = &m_dialogs;
        setup.homePageUrl = QStringLiteral("about:blank");
        setup.offTheRecord = true;
        setup.settingsFile = m_settings.filePath(QStringLiteral("talvesk.conf"));
        m_window = std::make_unique<MainForm>(setup);
        m_commands = std::make_unique<MainFormCommands>(*m_window);
        m_window->show();
        EXPECT_TRUE(waitUntil([this] { return m_window->isVisible(); }));
        EXPECT_TRUE(waitForLoad());
    }

    ~MainFormEndToEndTest() override
    {
        m_commands.reset();
        m_window.reset();
    }

    template <typename Widget> Widget *control(const QString &name) const
    {
        auto *widget = m_window->findChild<Widget *>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    QComboBox *addressBox() const { return control<QComboBox>(QStringLiteral("urladress")); }

    // As a user types it, so the box keeps it while the page shown changes.
    void typeAddress(const QUrl &url)
    {
        addressBox()->lineEdit()->selectAll();
        QTest::keyClicks(addressBox()->lineEdit(), url.toString());
    }

    void pressEnter() { QTest::keyClick(addressBox()->lineEdit(), Qt::Key_Return); }

    // The collect button; returns at once.
    void pressCollect()
    {
        QTest::mouseClick(control<QPushButton>(QStringLiteral("Browser")), Qt::LeftButton);
    }
    // Clicks 采集 and waits until that collect has ended, with its summary or its failure on top;
    // the window works on meanwhile.
    void clickCollect()
    {
        pressCollect();
        EXPECT_TRUE(waitUntil([this] {
            const QString top = messageLines().value(0);
            return top.startsWith(QStringLiteral("图片采集完成")) ||
                   top.startsWith(QStringLiteral("采集失败")) || top == QStringLiteral("采集已停止");
        }));
    }
    bool collectLineOnTop() const
    {
        return messageLines().value(0).startsWith(QStringLiteral("消息提示:图片采集中"));
    }

    void triggerToolbar(const QString &key) { control<QAction>(key)->trigger(); }

    bool waitForLoad()
    {
        return waitUntil(
            [this] { return m_window->itemBrowser().loadState() != PageBrowser::LoadState::Loading; });
    }

    QStringList messageLines() const
    {
        QStringList lines;
        const auto *list = control<QListWidget>(QStringLiteral("mesg"));
        for (int i = 0; i < list->count(); ++i)
            lines.append(list->item(i)->text());
        return lines;
    }

    QVariant evaluateInPreview(const QString &script)
    {
        auto &preview = dynamic_cast<QtPageBrowser &>(m_window->previewBrowser());
        return talvesk::test::evaluated(preview, script).value_or(QVariant());
    }

    // Waits until every picture of the preview has loaded.
    bool previewPicturesLoaded()
    {
        return waitUntil([this] {
            return evaluateInPreview(
                       QStringLiteral("Array.prototype.every.call(document.images, function (i) {"
                                      " return i.complete && i.naturalWidth === 16; })"))
                .toBool();
        });
    }

    // "已选 N/M" in the tool bar.
    QString choiceCount() const { return control<QLabel>(QStringLiteral("choiceCount"))->text(); }
    // The preview's boxes that show a tick.
    int tickedBoxes()
    {
        return evaluateInPreview(QStringLiteral("Array.prototype.filter.call(document.querySelectorAll("
                                                "'input[type=checkbox]'), function (b) { return b.checked; })"
                                                ".length"))
            .toInt();
    }
    // Clicks an element of the preview with the mouse, as the user does, after scrolling it into view.
    void clickInPreview(const QString &element, Qt::MouseButton button = Qt::LeftButton,
                        Qt::KeyboardModifiers modifiers = {})
    {
        const QVariantList at =
            evaluateInPreview(QStringLiteral("(function (e) { e.scrollIntoView({block: 'center'});"
                                             " var r = e.getBoundingClientRect();"
                                             " return [r.left + r.width / 2, r.top + r.height / 2]; })(%1)")
                                  .arg(element))
                .toList();
        ASSERT_EQ(at.size(), 2) << element.toStdString();
        QWidget *page = control<QWebEngineView>(QStringLiteral("WebBrowser2"))->focusProxy();
        ASSERT_NE(page, nullptr);
        const QPoint point(qRound(at[0].toDouble()), qRound(at[1].toDouble()));
        QTest::mouseClick(page, button, modifiers, point);
    }
    static QString picture(int index) { return QStringLiteral("document.images[%1]").arg(index); }
    static QString button(const QString &caption)
    {
        return QStringLiteral("Array.prototype.filter.call(document.querySelectorAll('button'),"
                              " function (b) { return b.textContent === '%1'; })[0]")
            .arg(caption);
    }
    // Right-clicks a picture of the preview, chooses an entry of its menu and returns the entries.
    QStringList chooseFromPictureMenu(int index, const QString &entry)
    {
        clickInPreview(picture(index), Qt::RightButton);
        QMenu *menu = nullptr;
        EXPECT_TRUE(waitUntil([&] {
            menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            return menu != nullptr;
        }));
        return talvesk::test::chooseFromMenu(menu, entry);
    }

    void clickDownload()
    {
        QTest::mouseClick(control<QPushButton>(QStringLiteral("DownLoad")), Qt::LeftButton);
    }

    // The paths of every picture of the item.
    static QStringList picturePaths(const SampleItem &item)
    {
        QStringList paths;
        for (const QString &address : item.mainPictures + item.colourPictures + item.descriptionPictures)
            paths.append(QUrl(address).path());
        return paths;
    }
    // Holds back every picture of the items until released, so a download overlaps what follows.
    void holdPictures(const QList<SampleItem> &items)
    {
        for (const SampleItem &item : items) {
            for (const QString &path : picturePaths(item))
                m_shop.server().hold(path);
        }
    }
    void releasePictures(const QList<SampleItem> &items)
    {
        for (const SampleItem &item : items) {
            for (const QString &path : picturePaths(item))
                m_shop.server().release(path);
        }
    }

    // The files under a folder but the item folder's record, each checked to hold a whole
    // picture of the shop.
    static int wholePicturesIn(const QString &folder, const SampleItem &item)
    {
        QStringList addresses = item.mainPictures + item.colourPictures + item.descriptionPictures;
        int whole = 0;
        for (const QString &file : talvesk::test::filesUnder(folder)) {
            if (QFileInfo(file).fileName() == QStringLiteral("talvesk.json"))
                continue;
            const QByteArray bytes = talvesk::test::readFile(file);
            const bool known = std::any_of(addresses.cbegin(), addresses.cend(), [&](const QString &address) {
                return bytes == SampleShop::pictureBytes(QUrl(address).path());
            });
            EXPECT_TRUE(known) << "not a whole picture: " << file.toStdString();
            whole += known ? 1 : 0;
        }
        return whole;
    }

    // The line that ends a download into this item folder.
    static QString doneLine(const QString &itemFolder)
    {
        return QStringLiteral("图片下载完成,保存至:") + QDir::toNativeSeparators(itemFolder);
    }
    // Clicks 下载, chooses the folder and waits for the download's final line; the item folder.
    QString downloadInto(const QTemporaryDir &dir, const SampleItem &item)
    {
        m_dialogs.folderAnswers = {dir.path()};
        clickDownload();
        const QString folder = QDir(dir.path()).filePath(item.itemTitle);
        EXPECT_TRUE(waitUntil([&] { return messageLines().value(0) == doneLine(folder); }));
        return folder;
    }

    int progressBar() const { return control<QProgressBar>(QStringLiteral("ProgressBar1"))->value(); }

    QTemporaryDir m_settings; // the window's own, new for every test
    SampleShop m_shop;
    FakeDialogs m_dialogs;
    std::unique_ptr<MainForm> m_window;
    std::unique_ptr<MainFormCommands> m_commands;
};

} // namespace

// 采集 collects the typed address and shows the preview, its pictures loaded, the summary on top.
TEST_F(MainFormEndToEndTest, CollectShowsThePreviewTab)
{
    const SampleItem item = m_shop.taobaoItem();
    typeAddress(item.url);
    clickCollect();

    const QStringList lines = messageLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("图片采集完成,主图数:9,描述图数:9,总图数:18,可以进行下载！"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("消息提示:图片采集中,估算已用时")))
        << lines[1].toStdString();
    // Nothing was left out: no warning sign.
    EXPECT_TRUE(control<QListWidget>(QStringLiteral("mesg"))->item(0)->icon().isNull());
    EXPECT_EQ(control<QTabBar>(QStringLiteral("TabStrip1"))->currentIndex(), 1);
    EXPECT_TRUE(m_window->previewBrowser().isVisible());
    EXPECT_FALSE(m_window->itemBrowser().isVisible());
    EXPECT_TRUE(m_window->isEnabled());

    ASSERT_TRUE(previewPicturesLoaded());
    EXPECT_EQ(evaluateInPreview(QStringLiteral("document.images.length")).toInt(), 18);
    EXPECT_EQ(evaluateInPreview(QStringLiteral("document.images[9].getAttribute('src')")).toString(),
              item.descriptionPictures[0] + QLatin1Char(' '));
}

// A description page that will not let go is replaced: the next collect reads its document anew.
TEST_F(MainFormEndToEndTest, DescriptionPageThatWillNotLetGoIsReplaced)
{
    talvesk::test::routeTrapThenNextItem(m_shop);
    const QString summary = QStringLiteral("图片采集完成,主图数:2,描述图数:1,总图数:3,可以进行下载！");
    for (const QString &name : {QStringLiteral("trap"), QStringLiteral("next")}) {
        typeAddress(m_shop.server().url(QStringLiteral("/%1/item.htm").arg(name)));
        clickCollect();
        ASSERT_EQ(messageLines().value(0), summary) << qPrintable(messageLines().join(u'\n'));
    }
    EXPECT_EQ(m_window->choices().address(2),
              QStringLiteral("https://127.0.0.1:%1/pics/d2.jpg").arg(m_shop.port()));
}

// A summary followed by a notice (here an unreadable description document) carries a warning sign.
TEST_F(MainFormEndToEndTest, SummaryAfterANoticeIsMarked)
{
    const ItemPageMarkup page = talvesk::test::routeItemWithMissingDescription(m_shop);
    typeAddress(page.item.url);
    clickCollect();

    const QStringList lines = messageLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("图片采集完成,主图数:7,描述图数:0,总图数:7,可以进行下载！"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("消息提示:描述图读取失败:"))) << lines[1].toStdString();
    const auto *list = control<QListWidget>(QStringLiteral("mesg"));
    EXPECT_FALSE(list->item(0)->icon().isNull());
    EXPECT_TRUE(list->item(1)->icon().isNull());
}

// Stop in the ready wait ends the collect; a second collect and a download are refused meanwhile.
TEST_F(MainFormEndToEndTest, StopDuringTheReadyWaitEndsTheCollect)
{
    typeAddress(m_shop.neverFinishingPage());
    WhenReady stop([this] { return m_shop.server().requestCount(QStringLiteral("/pics/hang.jpg")) > 0; },
                   [this] {
                       pressCollect();
                       QTest::mouseClick(control<QPushButton>(QStringLiteral("DownLoad")), Qt::LeftButton);
                       triggerToolbar(QStringLiteral("Stop"));
                   });
    clickCollect();

    ASSERT_TRUE(stop.done());
    const QStringList lines = messageLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], QStringLiteral("采集已停止"));
    EXPECT_TRUE(lines.contains(QStringLiteral("消息提示:图片采集正在进行,请等本次采集完成后再操作！")));
    EXPECT_TRUE(lines.contains(CollectMessages::downloadBusy()));
    EXPECT_TRUE(m_dialogs.folderAsked.isEmpty());
    EXPECT_TRUE(m_window->isEnabled());

    // Once the collect has ended, the download is no longer refused; nothing was collected.
    clickDownload();
    EXPECT_EQ(messageLines().value(0), QStringLiteral("没有可下载的图片"));
}

// Closing the window mid-collect ends it without a crash or a summary.
TEST_F(MainFormEndToEndTest, ClosingMidCollectEndsIt)
{
    WhenReady close(
        [this] {
            return collectLineOnTop() &&
                   m_window->itemBrowser().loadState() == PageBrowser::LoadState::Loading;
        },
        [this] { m_window->close(); });
    typeAddress(m_shop.neverFinishingPage());
    pressCollect();
    ASSERT_TRUE(waitUntil([&] { return close.done(); }));
    const QStringList lines = messageLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("消息提示:图片采集中"))) << lines[0].toStdString();
    m_commands.reset();
    m_window.reset();
}

// Two downloads and a collect side by side keep and end their own lines; both folders are whole.
TEST_F(MainFormEndToEndTest, CommandsSideBySideKeepTheirOwnLines)
{
    const SampleItem first = m_shop.taobaoItem();
    const SampleItem second = m_shop.tmallItem();
    const int firstTotal = static_cast<int>(first.mainPictures.size() + first.colourPictures.size() +
                                            first.descriptionPictures.size());
    const int secondTotal = static_cast<int>(second.mainPictures.size() + second.colourPictures.size() +
                                             second.descriptionPictures.size());
    typeAddress(first.url);
    clickCollect();
    // Each item's pictures wait, once its preview has them, until both downloads run.
    ASSERT_TRUE(previewPicturesLoaded());
    holdPictures({first});

    QTemporaryDir dir;
    m_dialogs.folderAnswers = {dir.path(), dir.path()};
    clickDownload(); // runs on while the next collect and download go on
    ASSERT_TRUE(
        waitUntil([this] { return messageLines().value(0).startsWith(QStringLiteral("图片下载进度:0/")); }));
    typeAddress(second.url);
    clickCollect();
    const QString summary = messageLines().value(0);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("图片采集完成,"))) << summary.toStdString();
    ASSERT_TRUE(previewPicturesLoaded());
    holdPictures({second});
    clickDownload();
    ASSERT_TRUE(waitUntil([this] {
        return messageLines().filter(QRegularExpression(QStringLiteral("^图片下载进度:0/"))).size() == 2;
    }));
    releasePictures({first, second});

    const QString firstFolder = QDir(dir.path()).filePath(first.itemTitle);
    const QString secondFolder = QDir(dir.path()).filePath(second.itemTitle);
    const QString done = QStringLiteral("图片下载完成,保存至:");
    ASSERT_TRUE(waitUntil([&] {
        const QStringList lines = messageLines();
        return lines.contains(done + QDir::toNativeSeparators(firstFolder)) &&
               lines.contains(done + QDir::toNativeSeparators(secondFolder));
    }));
    const QStringList lines = messageLines();
    EXPECT_EQ(lines.count(QStringLiteral("图片下载进度:%1/%1,已完成100%").arg(firstTotal)), 1)
        << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.count(QStringLiteral("图片下载进度:%1/%1,已完成100%").arg(secondTotal)), 1)
        << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.count(summary), 1);
    EXPECT_EQ(lines.size(), 8); // two lines for each collect and each download
    EXPECT_EQ(wholePicturesIn(firstFolder, first), firstTotal);
    EXPECT_EQ(wholePicturesIn(secondFolder, second), secondTotal);
    EXPECT_EQ(progressBar(), 100);
}

// Closing during a download asks first: no goes on, yes stops it leaving only whole pictures.
TEST_F(MainFormEndToEndTest, ClosingDuringADownloadAsksFirst)
{
    const SampleItem item = m_shop.taobaoItem();
    typeAddress(item.url);
    clickCollect();
    // The first picture arrives half and then nothing more; the others wait.
    ASSERT_TRUE(previewPicturesLoaded());
    holdPictures({item});
    const QString half = QUrl(item.mainPictures.first()).path();
    const QByteArray bytes = SampleShop::pictureBytes(half);
    m_shop.server().release(half);
    m_shop.server().route(half,
                          talvesk::test::HttpResponse::ok(bytes, "image/jpeg")
                              .sendingOnly(bytes.size() / 2, talvesk::test::HttpResponse::Ending::Hang));
    QTemporaryDir dir;
    m_dialogs.folderAnswers = {dir.path()};
    const int asked = m_shop.server().requestCount(half); // by the preview
    clickDownload();
    ASSERT_TRUE(waitUntil([&] { return m_shop.server().requestCount(half) > asked; }));

    m_dialogs.answerYes = false;
    m_window->close();
    ASSERT_EQ(m_dialogs.questions.size(), 1);
    EXPECT_EQ(m_dialogs.questions[0].text, QStringLiteral("图片下载正在进行,确定要退出吗?"));
    EXPECT_TRUE(m_window->isVisible());

    // The box stays open a while: a second press asks nothing more, and yes then closes.
    m_dialogs.holdQuestions = true;
    m_window->close();
    m_window->close();
    EXPECT_EQ(m_dialogs.questions.size(), 2);
    EXPECT_TRUE(m_window->isVisible());
    m_dialogs.pendingQuestion(true);
    ASSERT_TRUE(waitUntil([this] { return !m_window->isVisible(); }));
    const QString folder = QDir(dir.path()).filePath(item.itemTitle);
    const int saved = wholePicturesIn(folder, item);
    EXPECT_LT(saved, static_cast<int>(item.mainPictures.size() + item.colourPictures.size() +
                                      item.descriptionPictures.size()));
    EXPECT_FALSE(messageLines().value(0).startsWith(QStringLiteral("图片下载完成")));
    m_commands.reset();
    m_window.reset();
}

// A failed collect replaces the preview with its reason and leaves nothing to download.
TEST_F(MainFormEndToEndTest, FailedCollectLeavesNothingToDownload)
{
    typeAddress(m_shop.tallItem(1500, 3).url);
    clickCollect();
    ASSERT_TRUE(messageLines().value(0).startsWith(QStringLiteral("图片采集完成")));
    typeAddress(m_shop.untitledPage());
    clickCollect();
    const QString failure = messageLines().value(0);
    ASSERT_TRUE(failure.startsWith(QStringLiteral("采集失败"))) << failure.toStdString();
    EXPECT_TRUE(waitUntil([&] {
        return evaluateInPreview(QStringLiteral("document.body.innerText")).toString() == failure &&
               evaluateInPreview(QStringLiteral("document.images.length")).toInt() == 0;
    }));

    clickDownload();
    EXPECT_EQ(messageLines().value(0), QStringLiteral("没有可下载的图片"));
    EXPECT_TRUE(m_dialogs.folderAsked.isEmpty());
}

// A download's notices are lines, never boxes, and its final line opens its folder.
TEST_F(MainFormEndToEndTest, DownloadNoticesAreLinesAndItsFolderOpens)
{
    const SampleItem item = m_shop.tallItem(1500, 3); // description pictures only
    typeAddress(item.url);
    clickCollect();
    QTemporaryDir dir;
    const QString folder = downloadInto(dir, item);
    EXPECT_EQ(wholePicturesIn(folder, item), 3);
    const QStringList lines = messageLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("下载提示: 无采集到主图"))) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("下载提示: 无采集到颜色主图")))
        << lines.join(u'\n').toStdString();
    EXPECT_TRUE(m_dialogs.boxes.isEmpty());

    auto *mesg = control<QListWidget>(QStringLiteral("mesg"));
    QWidget *onLine = mesg->itemWidget(mesg->item(0));
    ASSERT_NE(onLine, nullptr);
    auto *link = onLine->findChild<QToolButton *>(QStringLiteral("folderLink"));
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->isVisible());
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(m_dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

// 重试失败的图片 fetches only the failed pictures again, into the same item folder and names.
TEST_F(MainFormEndToEndTest, RetryFetchesOnlyTheFailedPictures)
{
    const SampleItem item = m_shop.tallItem(1500, 3);
    typeAddress(item.url);
    clickCollect();
    ASSERT_TRUE(previewPicturesLoaded());
    const QString failing = QUrl(item.descriptionPictures[1]).path();
    m_shop.server().route(failing, talvesk::test::HttpResponse::withStatus(404));
    QTemporaryDir dir;
    m_dialogs.folderAnswers = {dir.path()};
    clickDownload();
    ASSERT_TRUE(
        waitUntil([this] { return messageLines().value(0) == QStringLiteral("共有1张图片下载失败"); }));
    const QString itemFolder = QDir(dir.path()).filePath(item.itemTitle);
    EXPECT_EQ(wholePicturesIn(itemFolder, item), 2);

    auto &mesg = *control<talvesk::QtMessageList>(QStringLiteral("mesg"));
    m_shop.server().route(failing,
                          talvesk::test::HttpResponse::ok(SampleShop::pictureBytes(failing), "image/jpeg"));
    const QString saved = QUrl(item.descriptionPictures[0]).path();
    const int failingAsked = m_shop.server().requestCount(failing);
    const int savedAsked = m_shop.server().requestCount(saved);
    talvesk::test::chooseFromLineMenu(mesg, 0, true, QStringLiteral("重试失败的图片"));
    ASSERT_TRUE(waitUntil([&] { return messageLines().value(0) == doneLine(itemFolder); }));
    EXPECT_EQ(m_shop.server().requestCount(failing), failingAsked + 1);
    EXPECT_EQ(m_shop.server().requestCount(saved), savedAsked);
    EXPECT_EQ(m_dialogs.folderAsked.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{item.itemTitle});
    EXPECT_EQ(wholePicturesIn(itemFolder, item), 3);
    EXPECT_TRUE(QFileInfo::exists(
        QDir(itemFolder).filePath(QStringLiteral("描述图/描述图1") + item.descriptionPictures[1].right(4))));
}

// Esc in the scroll phase stops the collect; the item collected before stays previewed and saved.
TEST_F(MainFormEndToEndTest, EscStopsTheCollectAndKeepsTheSetBefore)
{
    const SampleItem before = m_shop.tallItem(1500, 3);
    typeAddress(before.url);
    clickCollect();
    ASSERT_TRUE(previewPicturesLoaded());

    const SampleItem tall = m_shop.tallItem(20000, 10);
    auto &page = *dynamic_cast<QtPageBrowser &>(m_window->itemBrowser()).view()->page();
    int generation = -1;
    WhenReady stop(
        [this, &page] {
            return collectLineOnTop() &&
                   m_window->itemBrowser().loadState() == PageBrowser::LoadState::Finished &&
                   page.scrollPosition().y() > 0;
        },
        [this, &generation] {
            generation = m_window->itemBrowser().loadGeneration();
            QTest::keyClick(m_window.get(), Qt::Key_Escape);
        });
    typeAddress(tall.url);
    clickCollect();
    ASSERT_TRUE(stop.done());
    EXPECT_EQ(messageLines().value(0), QStringLiteral("采集已停止"));
    EXPECT_EQ(m_window->itemBrowser().loadGeneration(), generation);
    EXPECT_EQ(page.url(), tall.url);
    EXPECT_TRUE(m_window->isEnabled());
    EXPECT_EQ(evaluateInPreview(QStringLiteral("document.images.length")).toInt(), 3);

    QTemporaryDir dir;
    EXPECT_EQ(wholePicturesIn(downloadInto(dir, before), before), 3);
}

// Size, maximised state, the last 20 addresses and the last folder survive a restart.
TEST_F(MainFormEndToEndTest, SettingsSurviveARestart)
{
    QStringList entered;
    for (int i = 0; i < 21; ++i) {
        entered.append(m_shop.server().url(QStringLiteral("/page/%1").arg(i)).toString());
        typeAddress(QUrl(entered.last()));
        pressEnter();
    }
    typeAddress(QUrl(entered[5])); // again: back on top
    pressEnter();
    std::reverse(entered.begin(), entered.end());
    entered.move(15, 0);
    entered = entered.mid(0, 20);
    const SampleItem item = m_shop.tallItem(1500, 1);
    typeAddress(item.url);
    clickCollect();
    QTemporaryDir dir;
    downloadInto(dir, item);
    m_window->showNormal();
    m_window->resize(700, 500);
    m_window->showMaximized();
    ASSERT_TRUE(waitUntil([this] { return m_window->isMaximized(); }));
    ASSERT_TRUE(m_window->close());
    m_commands.reset();
    m_window.reset();

    start();
    EXPECT_EQ(addressBox()->currentText(), m_window->itemBrowser().address().toString());
    EXPECT_TRUE(m_window->isMaximized());
    EXPECT_EQ(m_window->normalGeometry().size(), QSize(700, 500));
    QStringList kept;
    for (int i = 0; i < addressBox()->count(); ++i)
        kept.append(addressBox()->itemText(i));
    EXPECT_EQ(kept, entered);
    typeAddress(item.url);
    clickCollect();
    clickDownload();
    ASSERT_TRUE(waitUntil([this] { return m_dialogs.folderAsked.size() == 2; }));
    EXPECT_EQ(m_dialogs.folderAsked[1].second, QDir::toNativeSeparators(dir.path()));
}

// The preview's boxes and menu change the choice, and 下载 saves only it, under the names it had.
TEST_F(MainFormEndToEndTest, PickThenDownload)
{
    const SampleItem item = m_shop.taobaoItem();
    typeAddress(item.url);
    clickCollect();
    ASSERT_TRUE(previewPicturesLoaded());
    ASSERT_GE(item.mainPictures.size(), 4);
    const int total = static_cast<int>(item.mainPictures.size() + item.colourPictures.size() +
                                       item.descriptionPictures.size());
    const auto counted = [total](int ticked) { return QStringLiteral("已选 %1/%2").arg(ticked).arg(total); };
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == counted(total) && tickedBoxes() == total; }));
    EXPECT_TRUE(waitUntil([&] {
        return evaluateInPreview(
                   QStringLiteral("Array.prototype.every.call(document.images, function (i) {"
                                  " return i.parentNode.querySelector('.talvesk-size').textContent === ' ' +"
                                  " i.naturalWidth + '\u00d7' + i.naturalHeight; })"))
            .toBool();
    }));

    clickInPreview(button(QStringLiteral("全部不选")));
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == counted(0) && tickedBoxes() == 0; }));
    clickInPreview(picture(0));
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == counted(1); }));
    clickInPreview(picture(3), Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == counted(4) && tickedBoxes() == 4; }));
    EXPECT_EQ(chooseFromPictureMenu(1, QStringLiteral("选中")),
              (QStringList{QStringLiteral("复制图片地址"), QStringLiteral("打开图片"), QStringLiteral("选中"),
                           QStringLiteral("全部选中"), QStringLiteral("全部不选")}));
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == counted(3) && tickedBoxes() == 3; }));
    EXPECT_FALSE(evaluateInPreview(
                     QStringLiteral("document.querySelector('input[data-talvesk-choice=\"0:1\"]').checked"))
                     .toBool());

    chooseFromPictureMenu(2, QStringLiteral("复制图片地址"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), item.mainPictures[2]);
    chooseFromPictureMenu(2, QStringLiteral("打开图片"));
    EXPECT_EQ(m_dialogs.opened, QList<QUrl>{QUrl(item.mainPictures[2])});

    QTemporaryDir dir;
    const QString folder = downloadInto(dir, item);
    EXPECT_EQ(messageLines().value(1), QStringLiteral("图片下载进度:3/3,已完成100%"));
    const auto files = [&](const QString &list) {
        return QDir(QDir(folder).filePath(list)).entryList(QDir::Files, QDir::Name);
    };
    const auto named = [](const QString &prefix, int slot, const QString &address) {
        return prefix + QString::number(slot) + address.right(4);
    };
    EXPECT_EQ(files(QStringLiteral("主图")),
              (QStringList{named(QStringLiteral("描述主图"), 0, item.mainPictures[0]),
                           named(QStringLiteral("描述主图"), 2, item.mainPictures[2]),
                           named(QStringLiteral("描述主图"), 3, item.mainPictures[3])}));
    EXPECT_TRUE(files(QStringLiteral("颜色图")).isEmpty());
    EXPECT_TRUE(files(QStringLiteral("描述图")).isEmpty());
    EXPECT_EQ(wholePicturesIn(folder, item), 3);

    // With nothing ticked there is nothing to download.
    clickInPreview(button(QStringLiteral("全部不选")));
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == counted(0); }));
    clickDownload();
    EXPECT_EQ(messageLines().value(0), QStringLiteral("没有可下载的图片"));
    EXPECT_EQ(m_dialogs.folderAsked.size(), 1);
}

// The data's main video has its own tick box; ticked alone, 下载 saves only 视频/1.mp4.
TEST_F(MainFormEndToEndTest, MainVideoHasATickBoxAndIsSaved)
{
    const QString path = QStringLiteral("/video-window/item.htm");
    const QString video = QStringLiteral("/video/main.mp4");
    const talvesk::test::ItemPageMarkup page = talvesk::test::currentLayoutPage(
        m_shop.port(), path, talvesk::test::Generation::IceContainer, talvesk::test::Marketplace::Taobao, {},
        {QStringLiteral("//127.0.0.1:%1%2").arg(m_shop.port()).arg(video)});
    m_shop.server().route(path, talvesk::test::HttpResponse::html(page.markup));
    const QByteArray body = QByteArray::fromHex("00000018") + "ftypisom" + QByteArray::fromHex("00000200") +
                            "isomiso2" + QByteArray(2000, 'v');
    m_shop.server().route(video, talvesk::test::HttpResponse::ok(body, "video/mp4"));

    typeAddress(page.item.url);
    clickCollect();
    ASSERT_TRUE(waitUntil([this] {
        return evaluateInPreview(
                   QStringLiteral("!!document.querySelector('input[data-talvesk-choice=\"3:0\"]')"))
            .toBool();
    }));
    EXPECT_TRUE(messageLines().contains(QStringLiteral("消息提示:主图视频1个")));
    evaluateInPreview(QStringLiteral("Array.prototype.filter.call(document.querySelectorAll('button'),"
                                     " function (b) { return b.textContent === '全部不选'; })[0].click();"
                                     "document.querySelector('input[data-talvesk-choice=\"3:0\"]').click()"));
    const int total = static_cast<int>(page.item.mainPictures.size() + page.item.colourPictures.size() +
                                       page.item.descriptionPictures.size()) +
                      1;
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == QStringLiteral("已选 1/%1").arg(total); }))
        << qPrintable(choiceCount());

    QTemporaryDir dir;
    const QString folder = downloadInto(dir, page.item);
    EXPECT_EQ(talvesk::test::readFile(QDir(folder).filePath(QStringLiteral("视频/1.mp4"))), body);
}

// The choice outlives a preview the engine blanked: 下载 saves what was ticked, not everything.
TEST_F(MainFormEndToEndTest, ChoiceOutlivesABlankedPreview)
{
    const SampleItem item = m_shop.tallItem(1500, 3);
    typeAddress(item.url);
    clickCollect();
    ASSERT_TRUE(previewPicturesLoaded());
    ASSERT_TRUE(waitUntil([&] { return tickedBoxes() == 3; }));
    clickInPreview(picture(1));
    ASSERT_TRUE(waitUntil([&] { return choiceCount() == QStringLiteral("已选 2/3"); }));

    auto *preview = control<QWebEngineView>(QStringLiteral("WebBrowser2"));
    preview->page()->triggerAction(QWebEnginePage::Reload);
    ASSERT_TRUE(waitUntil([&] {
        return evaluateInPreview(
                   QStringLiteral("document.readyState === 'complete' && document.images.length"))
                   .toInt() == 0;
    }));

    QTemporaryDir dir;
    const QString folder = downloadInto(dir, item);
    const QStringList saved =
        QDir(QDir(folder).filePath(QStringLiteral("描述图"))).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(saved, (QStringList{QStringLiteral("描述图0") + item.descriptionPictures[0].right(4),
                                  QStringLiteral("描述图2") + item.descriptionPictures[2].right(4)}));
}
