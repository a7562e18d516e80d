// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineMenu.h"
#include "MainFormTestSupport.h"

#include "app/WindowDownloads.h"
#include "collect/PictureList.h"
#include "download/DownloadCommand.h"
#include "platform/qt/QtMessageList.h"
#include "support/Files.h"
#include "support/QStringPrinter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QToolBar>
#include <QWebEngineView>

using talvesk::CollectedSet;
using talvesk::MainForm;
using talvesk::MessageLine;
using talvesk::PageBrowser;
using talvesk::QtMessageList;
using talvesk::WindowDownloads;
using talvesk::test::filesOpenIn;
using talvesk::test::HttpResponse;
using talvesk::test::waitUntil;

namespace {

class MainFormTest : public talvesk::test::MainFormFixture
{
protected:
    QStringList chooseFromMenu(int row, bool byMouse, const QString &entry)
    {
        return talvesk::test::chooseFromLineMenu(*control<QtMessageList>(QStringLiteral("mesg")), row,
                                                 byMouse, entry);
    }
};

// The geometry of every control of the client area.
QList<QRect> controlGeometries(MainForm &window)
{
    QList<QRect> geometries;
    for (const QWidget *child : window.centralWidget()->findChildren<QWidget *>())
        geometries.append(child->geometry());
    return geometries;
}

} // namespace

// The window starts on the browser tab, loading the home page, with an empty address list.
TEST_F(MainFormTest, StartUpState)
{
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Talvesk"));
    EXPECT_TRUE(m_window->itemBrowser().isVisible());
    EXPECT_FALSE(m_window->previewBrowser().isVisible());
    EXPECT_EQ(control<QTabBar>(QStringLiteral("TabStrip1"))->currentIndex(), 0);
    auto *urladress = control<QComboBox>(QStringLiteral("urladress"));
    EXPECT_EQ(urladress->currentText(), m_server.url(QStringLiteral("/home")).toString());
    EXPECT_EQ(urladress->count(), 0);
    EXPECT_EQ(m_window->itemBrowser().loadState(), PageBrowser::LoadState::Loading);
    EXPECT_FALSE(m_window->windowIcon().isNull());

    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    EXPECT_EQ(m_window->itemBrowser().locationName(), QStringLiteral("Home"));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/home")), 1);
}

// Shrunk as far as it goes, the window shows every control whole, none over another.
TEST_F(MainFormTest, SmallestWindowKeepsEveryControl)
{
    ASSERT_TRUE(showWindow());
    m_window->resize(200, 100);
    ASSERT_TRUE(waitUntil([this] { return m_window->size() == m_window->minimumSize(); }));
    QWidget *client = m_window->centralWidget();
    const auto placed = [client](const QWidget *widget) {
        return QRect(widget->mapTo(client, QPoint(0, 0)), widget->size());
    };
    const QRect area = client->rect();
    auto *toolBar = control<QToolBar>(QStringLiteral("Toolbar1"));
    QList<QRect> row;
    for (QAction *action : toolBar->actions())
        row.append(QRect(toolBar->widgetForAction(action)->mapTo(client, QPoint(0, 0)),
                         toolBar->widgetForAction(action)->size()));
    row.append(placed(control<QLabel>(QStringLiteral("Label1"))));
    row.append(placed(control<QLabel>(QStringLiteral("choiceCount"))));
    for (const QRect &one : row)
        EXPECT_TRUE(area.contains(one)) << one.x() << "," << one.width();
    for (qsizetype i = 1; i < row.size(); ++i)
        EXPECT_FALSE(row[i - 1].intersects(row[i])) << i;

    const QRect box = placed(control<QComboBox>(QStringLiteral("urladress")));
    const QRect collect = placed(control<QPushButton>(QStringLiteral("Browser")));
    const QRect download = placed(control<QPushButton>(QStringLiteral("DownLoad")));
    EXPECT_GE(box.width(), 250);
    for (const QRect &one : {box, collect, download})
        EXPECT_TRUE(area.contains(one));
    EXPECT_FALSE(box.intersects(collect));
    EXPECT_FALSE(collect.intersects(download));

    auto *mesg = control<QtMessageList>(QStringLiteral("mesg"));
    const QRect browser = placed(m_window->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1")));
    const QRect lines = placed(mesg);
    EXPECT_GE(browser.height(), 100);
    EXPECT_GE(lines.height(), mesg->heightForLines(4));
    EXPECT_TRUE(area.contains(browser.united(lines)));
    EXPECT_FALSE(browser.intersects(lines));
    auto *tabs = control<QTabBar>(QStringLiteral("TabStrip1"));
    for (int tab = 0; tab < tabs->count(); ++tab) {
        const QRect shown(tabs->mapTo(client, tabs->tabRect(tab).topLeft()), tabs->tabRect(tab).size());
        EXPECT_TRUE(area.contains(shown)) << tab;
        EXPECT_FALSE(shown.intersects(browser)) << tab;
    }
    EXPECT_TRUE(area.contains(placed(control<QProgressBar>(QStringLiteral("ProgressBar1")))));
    EXPECT_FALSE(lines.intersects(placed(control<QStatusBar>(QStringLiteral("StatusBar1")))));
}

// Settings that cannot be read or written are said in the message area.
TEST_F(MainFormTest, SettingsThatFailAreSaid)
{
    QTemporaryDir place;
    const QString settings = place.filePath(QStringLiteral("talvesk.conf"));
    ASSERT_TRUE(QDir().mkpath(settings)); // a folder where the file should be
    talvesk::MainFormSetup setup;
    setup.dialogs = &m_dialogs;
    setup.homePageUrl = QStringLiteral("about:blank");
    setup.offTheRecord = true;
    setup.settingsFile = settings;
    MainForm window(setup);
    auto *mesg = window.findChild<QtMessageList *>(QStringLiteral("mesg"));
    ASSERT_NE(mesg, nullptr);
    EXPECT_EQ(mesg->allText(), QStringLiteral("消息提示:无法读取设置文件:") + settings);
    window.show();
    window.close();
    EXPECT_EQ(mesg->item(0)->text(), QStringLiteral("消息提示:无法保存设置文件:") + settings);
    EXPECT_EQ(mesg->count(), 2); // said once
}

// Minimizing moves no control, and restoring lays the window out for its size again.
TEST_F(MainFormTest, MinimizeAndRestore)
{
    ASSERT_TRUE(showWindow());
    m_window->resize(900, 520);
    ASSERT_TRUE(waitUntil([this] { return m_window->centralWidget()->width() == 900; }));
    const QList<QRect> before = controlGeometries(*m_window);

    m_window->showMinimized();
    ASSERT_TRUE(m_window->isMinimized());
    QCoreApplication::processEvents();
    EXPECT_EQ(controlGeometries(*m_window), before);

    m_window->showNormal();
    ASSERT_TRUE(waitUntil([this] { return !m_window->isMinimized(); }));
    EXPECT_NEAR(control<QSplitter>(QStringLiteral("browserSplit"))->width() * 15.0,
                m_window->centralWidget()->width() * 15.0 - 20, 15);
    EXPECT_NEAR(control<QProgressBar>(QStringLiteral("ProgressBar1"))->x() * 15.0,
                m_window->centralWidget()->width() * 15.0 * 0.1, 15);
}

// Tabs switch the browsers by click and from code, reloading neither.
TEST_F(MainFormTest, TabsSwitchTheBrowsers)
{
    ASSERT_TRUE(showWindow());
    ASSERT_TRUE(waitForLoad(m_window->itemBrowser()));
    const int generation = m_window->itemBrowser().loadGeneration();
    auto *tabs = control<QTabBar>(QStringLiteral("TabStrip1"));

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_FALSE(m_window->itemBrowser().isVisible());
    EXPECT_TRUE(m_window->previewBrowser().isVisible());

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_TRUE(m_window->itemBrowser().isVisible());
    EXPECT_FALSE(m_window->previewBrowser().isVisible());

    m_window->selectTab(MainForm::Tab::Preview);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_FALSE(m_window->itemBrowser().isVisible());
    EXPECT_TRUE(m_window->previewBrowser().isVisible());
    m_window->selectTab(MainForm::Tab::Browse);
    EXPECT_TRUE(m_window->itemBrowser().isVisible());
    EXPECT_FALSE(m_window->previewBrowser().isVisible());
    EXPECT_EQ(m_window->itemBrowser().loadGeneration(), generation);
}

// The list is newest first; a double-click shows the selected line, or nothing, in a 提示信息 box.
TEST_F(MainFormTest, MessageListAndDoubleClick)
{
    ASSERT_TRUE(showWindow());
    auto *mesg = control<QtMessageList>(QStringLiteral("mesg"));

    QTest::mouseDClick(mesg->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(m_dialogs.boxes.size(), 1);
    EXPECT_EQ(m_dialogs.boxes[0].text, QString());
    EXPECT_EQ(m_dialogs.boxes[0].title, QStringLiteral("提示信息"));

    const auto older = m_window->messages().insertLine(QStringLiteral("older"));
    m_window->messages().insertLine(QStringLiteral("newest"));
    m_window->messages().setLine(older, QStringLiteral("older, rewritten"));
    ASSERT_EQ(mesg->count(), 2);
    EXPECT_EQ(mesg->item(0)->text(), QStringLiteral("newest"));
    EXPECT_EQ(mesg->item(1)->text(), QStringLiteral("older, rewritten"));

    // A real double-click starts with a press, which selects the line under the pointer.
    const QPoint line0 = mesg->visualItemRect(mesg->item(0)).center();
    QTest::mouseClick(mesg->viewport(), Qt::LeftButton, {}, line0);
    QTest::mouseDClick(mesg->viewport(), Qt::LeftButton, {}, line0);
    ASSERT_EQ(m_dialogs.boxes.size(), 2);
    EXPECT_EQ(m_dialogs.boxes[1].text, QStringLiteral("newest"));
    EXPECT_EQ(m_dialogs.boxes[1].title, QStringLiteral("提示信息"));

    // A new line comes into view even after the user scrolled away and selected an old one.
    for (int i = 0; i < 30; ++i)
        m_window->messages().insertLine(QStringLiteral("line %1").arg(i));
    mesg->scrollToBottom();
    mesg->setCurrentRow(mesg->count() - 1);
    m_window->messages().insertLine(QStringLiteral("arrived"));
    EXPECT_TRUE(mesg->viewport()->rect().contains(mesg->visualItemRect(mesg->item(0)).topLeft()));
}

// Drags a splitter's handle up (negative) or down by so many pixels, as the mouse does.
void dragHandle(QSplitterHandle *handle, int dy)
{
    const QPointF from = handle->rect().center();
    const QPointF to = from + QPointF(0, dy);
    QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
}

// The four newest lines show whole, at 1.5 times the font too and after the splitter is dragged.
TEST_F(MainFormTest, MessageAreaShowsFourWholeLines)
{
    ASSERT_TRUE(showWindow());
    auto *mesg = control<QtMessageList>(QStringLiteral("mesg"));
    auto *split = control<QSplitter>(QStringLiteral("browserSplit"));
    const QString text =
        QStringLiteral("图片下载失败:http://127.0.0.1/一个很长的图片地址/") + QString(200, u'x');
    for (int i = 0; i < 8; ++i)
        m_window->messages().insertLine(text);
    const auto wholeRowsShown = [mesg] {
        int rows = 0;
        while (rows < mesg->count() &&
               mesg->viewport()->rect().contains(mesg->visualItemRect(mesg->item(rows))))
            ++rows;
        return rows;
    };

    for (const double scale : {1.0, 1.5}) {
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        mesg->setFont(font);
        mesg->scrollToTop();
        QCoreApplication::processEvents();
        SCOPED_TRACE(scale);

        QTextLayout layout(text, font);
        layout.beginLayout();
        const int textHeight = qCeil(layout.createLine().height());
        layout.endLayout();
        EXPECT_GE(mesg->visualItemRect(mesg->item(0)).height(), textHeight);
        EXPECT_GE(wholeRowsShown(), 4);
        EXPECT_LE(split->geometry().bottom(), control<QStatusBar>(QStringLiteral("StatusBar1"))->y());
    }

    const int fourLines = mesg->height();
    dragHandle(split->handle(1), -80);
    EXPECT_GT(mesg->height(), fourLines);
    EXPECT_GE(wholeRowsShown(), 5);
    dragHandle(split->handle(1), 400);
    EXPECT_GE(wholeRowsShown(), 4);
    mesg->scrollToTop();

    QScrollBar *bar = mesg->verticalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    const QRect down =
        bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, bar);
    ASSERT_FALSE(down.isEmpty());
    QTest::mouseClick(bar, Qt::LeftButton, {}, down.center());
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(mesg->visualItemRect(mesg->item(1)).top(), 0);
}

// A line's menu copies lines, opens a download's folder (said if gone) and lists its failures.
TEST_F(MainFormTest, MessageContextMenu)
{
    ASSERT_TRUE(showWindow());
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());
    m_server.route(QStringLiteral("/a.png"),
                   HttpResponse::ok(QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(2000, 'p'), "image/png"));
    m_server.route(QStringLiteral("/gone.jpg"), HttpResponse::withStatus(404));
    CollectedSet set;
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    set.mainPictures.put(0, m_server.url(QStringLiteral("/a.png")).toString());
    set.mainPictures.put(1, m_server.url(QStringLiteral("/gone.jpg")).toString());
    set.itemTitle = QStringLiteral("杯子");
    m_dialogs.folderAnswers = {target.path()};
    WindowDownloads downloads(*m_window);
    downloads.download(set, std::nullopt);
    auto *mesg = control<QtMessageList>(QStringLiteral("mesg"));
    // failure count, failure, result, the notices of the two empty lists, progress
    ASSERT_TRUE(waitUntil([&] { return mesg->count() == 6; }));
    const QString itemFolder = QDir(target.path()).filePath(QStringLiteral("杯子"));
    ASSERT_EQ(mesg->item(0)->text(), QStringLiteral("共有1张图片下载失败"));
    ASSERT_EQ(mesg->item(2)->text(), QStringLiteral("图片下载完成,保存至:") + itemFolder);
    EXPECT_EQ(control<QTabBar>(QStringLiteral("TabStrip1"))->currentIndex(), 1); // the preview
    const QStringList withFolder{QStringLiteral("复制"), QStringLiteral("复制全部"),
                                 QStringLiteral("打开文件夹")};

    EXPECT_EQ(chooseFromMenu(1, true, QStringLiteral("打开文件夹")), withFolder);
    EXPECT_EQ(chooseFromMenu(2, false, QStringLiteral("打开文件夹")), withFolder);
    ASSERT_EQ(m_dialogs.opened.size(), 2);
    EXPECT_EQ(m_dialogs.opened[0], QUrl::fromLocalFile(itemFolder));
    EXPECT_EQ(m_dialogs.opened[1], QUrl::fromLocalFile(itemFolder));
    EXPECT_EQ(chooseFromMenu(3, true, QStringLiteral("复制")),
              (QStringList{QStringLiteral("复制"), QStringLiteral("复制全部")}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), mesg->item(3)->text());
    chooseFromMenu(0, false, QStringLiteral("复制全部"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringList({mesg->item(0)->text(), mesg->item(1)->text(), mesg->item(2)->text(),
                           mesg->item(3)->text(), mesg->item(4)->text(), mesg->item(5)->text()})
                  .join(u'\n'));
    EXPECT_EQ(chooseFromMenu(0, true, QStringLiteral("显示失败的图片")),
              (withFolder + QStringList{QStringLiteral("显示失败的图片"), QStringLiteral("重试失败的图片")}));
    ASSERT_EQ(m_dialogs.lineWindows.size(), 1);
    EXPECT_EQ(m_dialogs.lineWindows[0].first, QStringList{mesg->item(1)->text()});

    ASSERT_TRUE(QDir(itemFolder).removeRecursively());
    chooseFromMenu(0, true, QStringLiteral("打开文件夹"));
    EXPECT_EQ(m_dialogs.opened.size(), 2);
    ASSERT_EQ(mesg->count(), 7);
    EXPECT_EQ(mesg->item(0)->text(), QStringLiteral("消息提示:文件夹不存在:") + itemFolder);
}

// 取消下载 stops a running download: whole pictures stay, the one under way goes, the top line says so.
TEST_F(MainFormTest, CancelDownloadFromTheMenu)
{
    ASSERT_TRUE(showWindow());
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());
    const QByteArray picture = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(3000, 'p');
    m_server.route(QStringLiteral("/0.png"), HttpResponse::ok(picture, "image/png"));
    m_server.route(QStringLiteral("/1.png"), HttpResponse::ok(picture, "image/png"));
    // Half a picture, then nothing: it is being written when the user cancels.
    m_server.route(QStringLiteral("/2.png"),
                   HttpResponse::ok(picture, "image/png").sendingOnly(1500, HttpResponse::Ending::Hang));
    CollectedSet set;
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    for (int i = 0; i < 3; ++i)
        set.mainPictures.put(i, m_server.url(QStringLiteral("/%1.png").arg(i)).toString());
    set.itemTitle = QStringLiteral("杯子");
    m_dialogs.folderAnswers = {target.path()};
    WindowDownloads downloads(*m_window);
    downloads.download(set, std::nullopt);
    const QString itemFolder = QDir(target.path()).filePath(QStringLiteral("杯子"));
    const QDir mainFolder(QDir(itemFolder).filePath(QStringLiteral("主图")));
    auto *mesg = control<QtMessageList>(QStringLiteral("mesg"));
    ASSERT_TRUE(waitUntil([&] {
        return mesg->item(0)->text() == QStringLiteral("图片下载进度:2/3,已完成67%") &&
               filesOpenIn(mainFolder.path()) == 1;
    }));

    EXPECT_TRUE(chooseFromMenu(0, true, QStringLiteral("取消下载")).contains(QStringLiteral("取消下载")));
    ASSERT_TRUE(waitUntil([&] { return mesg->count() == 2; }));
    EXPECT_EQ(mesg->item(0)->text(), QStringLiteral("图片下载已取消,已保存2张,保存至:") + itemFolder);
    EXPECT_EQ(mesg->item(1)->text(), QStringLiteral("图片下载进度:2/3,已完成67%"));
    EXPECT_EQ(filesOpenIn(mainFolder.path()), 0);
    EXPECT_EQ(mainFolder.entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("描述主图0.png"), QStringLiteral("描述主图1.png")}));
    for (const QString &name : mainFolder.entryList(QDir::Files))
        EXPECT_EQ(talvesk::test::readFile(mainFolder.filePath(name)), picture) << name.toStdString();
    EXPECT_TRUE(m_dialogs.boxes.isEmpty()); // the lists after it are not gone through
    // A stopped download offers no cancel any more.
    EXPECT_FALSE(chooseFromMenu(1, true, QString()).contains(QStringLiteral("取消下载")));
}

// Where nothing opens, 打开文件夹 and the link command each say what could not be opened.
TEST_F(MainFormTest, OpenFailuresAreReported)
{
    ASSERT_TRUE(showWindow());
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const MessageLine line =
        m_window->messages().insertLine(QStringLiteral("图片下载完成,保存至:") + folder.path());
    m_window->messages().setLineFolder(line, folder.path());
    m_dialogs.openFails = true;

    chooseFromMenu(0, true, QStringLiteral("打开文件夹"));
    ASSERT_EQ(m_dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(folder.path())});
    auto *mesg = control<QtMessageList>(QStringLiteral("mesg"));
    ASSERT_EQ(mesg->count(), 2);
    EXPECT_EQ(mesg->item(0)->text(), QStringLiteral("消息提示:无法打开文件夹:") + folder.path());

    control<QAction>(QStringLiteral("DHSELL"))->trigger();
    ASSERT_EQ(m_dialogs.opened.size(), 2);
    ASSERT_EQ(mesg->count(), 3);
    EXPECT_EQ(mesg->item(0)->text(),
              QStringLiteral("消息提示:无法打开网址:") + m_dialogs.opened[1].toString());
}

// Alt+P and Alt+D press the two buttons; Alt+A goes to the address box.
TEST_F(MainFormTest, AccessKeys)
{
    ASSERT_TRUE(showWindow());
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    int collects = 0, downloads = 0;
    QObject::connect(m_window.get(), &MainForm::collectRequested, m_window.get(),
                     [&collects] { ++collects; });
    QObject::connect(m_window.get(), &MainForm::downloadRequested, m_window.get(),
                     [&downloads] { ++downloads; });
    // An access key animates the button's press: the click follows a moment later.
    QTest::keyClick(m_window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(waitUntil([&collects] { return collects == 1; }, 5000));
    QTest::keyClick(m_window.get(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(waitUntil([&downloads] { return downloads == 1; }, 5000));
    EXPECT_EQ(collects, 1);
    QTest::keyClick(m_window.get(), Qt::Key_A, Qt::AltModifier);
    auto *urladress = control<QComboBox>(QStringLiteral("urladress"));
    EXPECT_TRUE(urladress->hasFocus() || urladress->isAncestorOf(QApplication::focusWidget()));
}
