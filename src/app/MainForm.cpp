// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainForm.h"

#include "app/AppIcons.h"
#include "app/PictureChoiceModel.h"
#include "app/PreviewChoices.h"
#include "app/ProgramVersion.h"
#include "app/WindowMemory.h"
#include "collect/CleanAddress.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtMessageList.h"
#include "platform/qt/QtPageBrowser.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QWebEngineView>

#include <algorithm>

namespace talvesk {

namespace {

constexpr int kClientWidthTwips = 12195;
constexpr int kClientHeightTwips = 6870;
constexpr double kToolbarHeight = 480;
constexpr double kAddressBarHeight = 375;
// The message lines shown at least, under the browser: a collect's notices and its summary.
constexpr int kShownMessageLines = 4;
// The least room for the controls: the tool bar's buttons and the choice count end at about 460
// pixels, and the address box is this wide less 3500 twips.
constexpr int kLeastClientWidth = 560;
constexpr int kLeastBrowserHeight = 120;
// The browsers start 1200 twips down and end 380 twips above the client area's bottom.
constexpr double kBrowsersTop = 1200;
constexpr double kBelowBrowsers = 380;

const QString kTabBrowse = QStringLiteral("WebBrw");
const QString kTabPreview = QStringLiteral("PicUp");

int toPixels(double twips)
{
    return qRound(twips / kTwipsPerPixel);
}

QRect toPixels(const TwipRect &rect)
{
    return {toPixels(rect.left), toPixels(rect.top), toPixels(rect.width), toPixels(rect.height)};
}

QString helpText()
{
    const QStringList lines{
        QStringLiteral("软件功能：淘宝宝贝主图、颜色图和描述图采集下载。"),
        QStringLiteral("使用方法：在地址栏直接输入宝贝网址回车，浏览到目标采集宝贝详情页面，"
                       "待页面图片全部显示后，点击<采集>按钮，采集完成后点击<下载>按钮，选择目录保存图片。"),
        QStringLiteral("停止：采集中点击<停止>按钮或按 Esc 键，采集就地停止。"),
        QStringLiteral("颜色图：宝贝各颜色（款式）的图片，采集结果页中每张颜色图下方显示其款式名称，"
                       "下载时保存在“颜色图”文件夹。"),
        QStringLiteral("选择图片：采集结果页每张图片带勾选框，单击图片勾选或取消，按住 Shift 单击勾选一段；"
                       "右键图片可复制图片地址、打开图片；工具栏显示“已选 N/M”，<下载>只保存勾选的图片。"),
        QStringLiteral("下载失败的图片：右键消息栏中“共有N张图片下载失败”一行，可查看失败的图片列表，"
                       "或重试失败的图片；下载完成一行的“打开文件夹”打开保存目录。"),
        QStringLiteral("快捷键：Ctrl+L 地址栏，Alt+← 后退，Alt+→ 前进，F5 刷新，Alt+P 采集，Alt+D 下载。"),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString versionText()
{
    return QStringList{QStringLiteral("软件名称：Talvesk"), versionLine(),
                       QStringLiteral("作者：Talvesk 开发组"),
                       QStringLiteral("许可：GNU GPL 第 3 版或更高版本（GPL-3.0-or-later）")}
        .join(u'\r');
}

QUrl promotionAddress()
{
    return QUrl(QStringLiteral("https://www.example.com/talvesk/danhao"));
}

} // namespace

MainForm::MainForm(const MainFormSetup &setup, QWidget *parent)
    : QMainWindow(parent), m_homePageUrl(setup.homePageUrl),
      m_memory(std::make_unique<WindowMemory>(setup.settingsFile)), m_dialogs(setup.dialogs),
      m_setup(setup.offTheRecord ? BrowserSetup::Storage::OffTheRecord : BrowserSetup::Storage::Persistent)
{
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<QtDialogs>(this);
        m_dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Talvesk"));
    setWindowIcon(windowPicture());

    // The controls are placed in twips from the client area's corner, not by a layout.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    createToolBar();
    createAddressBar();
    createTabsAndBrowsers();
    createStatusRow();
    createMenus();
    fitMessageLines(); // again, with the menu bar's height known
    setFocusChain();
    m_client->installEventFilter(this);

    resize(toPixels(kClientWidthTwips), toPixels(kClientHeightTwips) + menuBar()->sizeHint().height());
    restoreGeometry(m_memory->windowGeometry());
    if (m_memory->windowMaximized())
        setWindowState(windowState() | Qt::WindowMaximized);
    m_addressBox->addItems(m_memory->addresses());
    // The list made its first entry current; the box shows the page the browser opens.
    m_addressBox->setEditText(m_pageAddressText);
    const QString settingsFile = m_memory->fileName();
    if (m_memory->readFailed())
        m_messages->insertLine(QStringLiteral("消息提示:无法读取设置文件:") + settingsFile);
    m_memory->setOnWriteFailure([this, settingsFile] {
        m_messages->insertLine(QStringLiteral("消息提示:无法保存设置文件:") + settingsFile);
    });
    startUp();
}

MainForm::~MainForm() = default;

void MainForm::createToolBar()
{
    m_toolBar = new QToolBar(m_client);
    m_toolBar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const struct
    {
        QString key;
        QString toolTip;
    } buttons[] = {
        {QStringLiteral("Back"), QStringLiteral("返回")}, {QStringLiteral("Forward"), QStringLiteral("向前")},
        {QStringLiteral("Stop"), QStringLiteral("停止")}, {QStringLiteral("Refresh"), QStringLiteral("刷新")},
        {QStringLiteral("Home"), QStringLiteral("主页")}, {QStringLiteral("Search"), QStringLiteral("查找")},
    };
    int picture = 1;
    for (const auto &button : buttons) {
        QAction *action = m_toolBar->addAction(toolbarPicture(picture++), QString());
        action->setObjectName(button.key);
        action->setToolTip(button.toolTip);
        if (button.key == QStringLiteral("Stop"))
            action->setShortcut(QKeySequence(Qt::Key_Escape));
        else if (button.key == QStringLiteral("Back"))
            action->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
        else if (button.key == QStringLiteral("Forward"))
            action->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
        else if (button.key == QStringLiteral("Refresh"))
            action->setShortcut(QKeySequence(Qt::Key_F5));
        connect(action, &QAction::triggered, this, [this, key = button.key] { handleToolbarButton(key); });
    }

    m_brandLabel = new QLabel(QStringLiteral("采集速递"), m_toolBar);
    m_brandLabel->setObjectName(QStringLiteral("Label1"));
    m_brandLabel->setGeometry(toPixels(TwipRect{4200, 120, 735, 375}));

    m_choiceCount = new QLabel(m_toolBar);
    m_choiceCount->setObjectName(QStringLiteral("choiceCount"));
    m_choiceCount->setGeometry(toPixels(TwipRect{5100, 120, 1800, 375}));
}

void MainForm::createAddressBar()
{
    m_addressRow = new QWidget(m_client);
    m_addressRow->setObjectName(QStringLiteral("picAddress"));

    m_addressLabel = new QLabel(QStringLiteral("地址(&A):"), m_addressRow);
    m_addressLabel->setObjectName(QStringLiteral("lblAddress"));
    m_addressLabel->move(toPixels(120), 0);

    m_addressBox = new QComboBox(m_addressRow);
    m_addressBox->setObjectName(QStringLiteral("urladress"));
    m_addressBox->setEditable(true);
    // Only the Enter rule adds entries, compared case-sensitively; Qt's own insertion and its
    // case-insensitive inline completion would add or rewrite entries behind its back.
    m_addressBox->setInsertPolicy(QComboBox::NoInsert);
    m_addressBox->setCompleter(nullptr);
    m_addressBox->setEditText(m_homePageUrl);
    m_addressBox->setToolTip(QStringLiteral("可直接输入产品详情页的网址进行采集"));
    m_pageAddressText = m_homePageUrl;
    // Enter is ours alone (see eventFilter).
    m_addressBox->installEventFilter(this);
    m_addressBox->lineEdit()->installEventFilter(this);
    // Alt+A: the label's access key focuses the box it names.
    m_addressLabel->setBuddy(m_addressBox);
    m_addressLabel->adjustSize();

    auto *toAddress = new QAction(this);
    toAddress->setObjectName(QStringLiteral("focusAddress"));
    toAddress->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    addAction(toAddress);
    connect(toAddress, &QAction::triggered, this, [this] {
        m_addressBox->setFocus(Qt::ShortcutFocusReason);
        m_addressBox->lineEdit()->selectAll();
    });

    m_collectButton = new QPushButton(QStringLiteral("采集&P"), m_addressRow);
    m_collectButton->setObjectName(QStringLiteral("Browser"));
    m_collectButton->setToolTip(QStringLiteral("Alt+P"));
    connect(m_collectButton, &QPushButton::clicked, this, &MainForm::handleCollectClicked);

    m_downloadButton = new QPushButton(QStringLiteral("下载&D"), m_addressRow);
    m_downloadButton->setObjectName(QStringLiteral("DownLoad"));
    m_downloadButton->setToolTip(QStringLiteral("Alt+D"));
    connect(m_downloadButton, &QPushButton::clicked, this, &MainForm::handleDownloadClicked);
}

void MainForm::createTabsAndBrowsers()
{
    m_tabs = new QTabBar(m_client);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_tabs->setGeometry(toPixels(TwipRect{0, 960, 11175, 5535}));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    // The browsers cover the strip from 1200 twips down: its tabs must fit in 16 pixels.
    m_tabs->setStyleSheet(QStringLiteral(
        "QTabBar::tab { height: 15px; padding: 0 12px; margin-right: 2px; border: 1px solid #a0a0a0;"
        " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px; background: "
        "#e6e6e6; }"
        "QTabBar::tab:selected { background: white; }"));
    m_tabs->setTabData(m_tabs->addTab(QStringLiteral("网页浏览")), kTabBrowse);
    m_tabs->setTabData(m_tabs->addTab(QStringLiteral("采集结果")), kTabPreview);
    m_tabs->setCurrentIndex(0);

    // Created after the strip, so they are drawn in front of it. The browsers share the upper
    // part of a splitter, whose lower part is the message list, made taller by dragging.
    m_browserSplit = new QSplitter(Qt::Vertical, m_client);
    m_browserSplit->setObjectName(QStringLiteral("browserSplit"));
    m_browserSplit->setChildrenCollapsible(false);
    auto *browserPane = new QWidget(m_browserSplit);
    browserPane->setObjectName(QStringLiteral("browserPane"));
    m_browserSplit->addWidget(browserPane);
    m_browserSplit->setStretchFactor(0, 1);
    // The description document's view is in this window too, out of sight: a window of its own,
    // even one kept off the screen, is mapped by a window manager, takes the focus and can be
    // closed.
    const BrowserSetup::Pages pages = m_setup.createPages(browserPane, m_client);
    m_itemBrowser = pages.itemBrowser;
    m_itemBrowser->view()->setObjectName(QStringLiteral("WebBrowser1"));
    m_previewBrowser = pages.previewBrowser;
    m_previewBrowser->view()->setObjectName(QStringLiteral("WebBrowser2"));
    m_descriptionBrowser = pages.descriptionBrowser;
    // One of the two is shown at a time; it fills the pane.
    auto *browsers = new QGridLayout(browserPane);
    browsers->setContentsMargins(0, 0, 0, 0);
    browsers->addWidget(m_itemBrowser->view(), 0, 0);
    browsers->addWidget(m_previewBrowser->view(), 0, 0);

    m_choices = std::make_unique<PictureChoiceModel>();
    m_previewChoices = std::make_unique<PreviewChoices>(*m_previewBrowser, *m_choices);
    connect(m_choices.get(), &PictureChoiceModel::changed, this, &MainForm::showChoiceCount);
    // The preview's own menu: the engine's would offer to reload it, which blanks it.
    m_previewBrowser->view()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_previewBrowser->view(), &QWidget::customContextMenuRequested, this, &MainForm::showPreviewMenu);

    connect(m_tabs, &QTabBar::currentChanged, this, &MainForm::handleTabChanged);
    connect(m_itemBrowser, &QtPageBrowser::loadStarted, this, &MainForm::handleLoadStarted);
    connect(m_itemBrowser, &QtPageBrowser::loadFinished, this, &MainForm::handleLoadFinished);
    connect(m_itemBrowser, &QtPageBrowser::titleChanged, this, &MainForm::handleTitleChanged);
    connect(m_itemBrowser, &QtPageBrowser::urlChanged, this, &MainForm::handleItemUrlChanged);
}

void MainForm::createStatusRow()
{
    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);

    // In front of the status bar, whose own text shows only in the row's leftmost tenth.
    m_progressBar = new QProgressBar(m_client);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);

    m_messages = new QtMessageList(m_browserSplit);
    m_messages->setObjectName(QStringLiteral("mesg"));
    m_messages->setToolTip(QStringLiteral("双击查看"));
    m_messages->viewport()->installEventFilter(this);
    m_browserSplit->addWidget(m_messages);
    m_browserSplit->setStretchFactor(1, 0);
    fitMessageLines();
    connect(m_messages, &QtMessageList::rowHeightChanged, this, &MainForm::fitMessageLines);
    connect(m_messages, &QtMessageList::openFolderRequested, this, &MainForm::openMessageFolder);

    m_statusBar->lower();
    m_progressBar->raise();
}

// The list never gets so low that the newest lines need opening; dragged taller, it stays so.
void MainForm::fitMessageLines()
{
    const int least = m_messages->heightForLines(kShownMessageLines);
    m_messages->setMinimumHeight(least);
    // Every control keeps room to be used: the tool bar's buttons and count, the address box
    // with both buttons, the browser and the four lines under it.
    const int menuHeight = menuBar()->sizeHint().height();
    setMinimumSize(kLeastClientWidth, menuHeight + toPixels(kBrowsersTop + kBelowBrowsers) +
                                          kLeastBrowserHeight + least + m_browserSplit->handleWidth());
    QList<int> sizes = m_browserSplit->sizes();
    if (sizes.value(1) < least) {
        sizes[0] = std::max(0, sizes.value(0) + sizes.value(1) - least);
        sizes[1] = least;
        m_browserSplit->setSizes(sizes);
    }
}

void MainForm::createMenus()
{
    const struct
    {
        QString menuName;
        QString menuCaption;
        QString itemName;
        QString itemCaption;
        QKeySequence shortcut;
        void (MainForm::*procedure)();
    } menus[] = {
        {QStringLiteral("About"), QStringLiteral("关于软件"), QStringLiteral("Ver"), QStringLiteral("版本"),
         QKeySequence(Qt::CTRL | Qt::Key_B), &MainForm::showVersion},
        {QStringLiteral("Help"), QStringLiteral("使用帮助"), QStringLiteral("HelpDoc"),
         QStringLiteral("帮助文档"), QKeySequence(Qt::CTRL | Qt::Key_H), &MainForm::showHelp},
        {QStringLiteral("DH"), QStringLiteral("快递单号出售"), QStringLiteral("DHSELL"),
         QStringLiteral("单号出售"), QKeySequence(Qt::CTRL | Qt::Key_M), &MainForm::openPromotionLink},
    };
    for (const auto &entry : menus) {
        QMenu *menu = menuBar()->addMenu(entry.menuCaption);
        menu->setObjectName(entry.menuName);
        QAction *item = menu->addAction(entry.itemCaption);
        item->setObjectName(entry.itemName);
        item->setShortcut(entry.shortcut);
        connect(item, &QAction::triggered, this, entry.procedure);
    }
}

void MainForm::setFocusChain()
{
    for (QWidget *passive :
         {static_cast<QWidget *>(m_statusBar), static_cast<QWidget *>(m_progressBar), m_addressRow,
          static_cast<QWidget *>(m_addressLabel), static_cast<QWidget *>(m_brandLabel)})
        passive->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> chain{m_addressBox, m_collectButton,       m_downloadButton,         m_messages,
                                 m_tabs,       m_itemBrowser->view(), m_previewBrowser->view(), m_toolBar};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

QtPageBrowser &MainForm::itemBrowser()
{
    return *m_itemBrowser;
}

QtPageBrowser &MainForm::descriptionBrowser()
{
    return *m_descriptionBrowser;
}

QtPageBrowser &MainForm::replaceDescriptionBrowser()
{
    delete m_descriptionBrowser->view();
    m_descriptionBrowser = m_setup.createUnseenPage(m_client);
    return *m_descriptionBrowser;
}

QtPageBrowser &MainForm::previewBrowser()
{
    return *m_previewBrowser;
}

MessageList &MainForm::messages()
{
    return *m_messages;
}

EventLoop &MainForm::eventLoop()
{
    return m_setup.eventLoop();
}

Dialogs &MainForm::dialogs()
{
    return *m_dialogs;
}

WindowMemory &MainForm::memory()
{
    return *m_memory;
}

void MainForm::selectTab(Tab tab)
{
    const int index = static_cast<int>(tab) - 1;
    if (m_tabs->currentIndex() == index)
        handleTabChanged(); // keeps the shown browser in step with the tab all the same
    else
        m_tabs->setCurrentIndex(index);
}

void MainForm::setWindowEnabled(bool enabled)
{
    setEnabled(enabled);
}

void MainForm::setProgress(int percent)
{
    m_progressBar->setValue(percent);
}

void MainForm::setProgressHeld(bool held)
{
    m_progressHeld = held;
}

PictureChoiceModel &MainForm::choices()
{
    return *m_choices;
}

void MainForm::showPictureChoices()
{
    m_previewChoices->draw([window = QPointer<MainForm>(this)] {
        if (!window)
            return;
        const PictureChoiceModel &choices = *window->m_choices;
        window->m_messages->insertLine(
            QStringLiteral("消息提示:采集结果页无法显示勾选框,下载将保存已选的%1/%2张图片")
                .arg(choices.tickedCount())
                .arg(choices.total()));
    });
}

void MainForm::showChoiceCount()
{
    m_choiceCount->setText(
        m_choices->total() == 0
            ? QString()
            : QStringLiteral("已选 %1/%2").arg(m_choices->tickedCount()).arg(m_choices->total()));
}

// The menu waits for the page to say which picture is under the pointer.
void MainForm::showPreviewMenu(const QPoint &at)
{
    m_previewChoices->pictureAt(at, [window = QPointer<MainForm>(this), at](int picture) {
        if (window)
            window->openPreviewMenu(at, picture);
    });
}

void MainForm::openPreviewMenu(const QPoint &at, int picture)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("previewMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString address = m_choices->address(picture);
    if (!address.isEmpty()) {
        menu->addAction(QStringLiteral("复制图片地址"), this,
                        [address] { QGuiApplication::clipboard()->setText(address); });
        menu->addAction(QStringLiteral("打开图片"), this, [this, address] {
            const QUrl url(address);
            openOutside(url, QStringLiteral("消息提示:无法打开网址:") + address);
        });
        QAction *tick = menu->addAction(QStringLiteral("选中"), this, [this, picture](bool ticked) {
            m_choices->setTicked(picture, ticked);
        });
        tick->setCheckable(true);
        tick->setChecked(m_choices->isTicked(picture));
        menu->addSeparator();
    }
    if (m_choices->total() > 0) {
        menu->addAction(QStringLiteral("全部选中"), this, [this] { m_choices->setLists({0, 1, 2}, true); });
        menu->addAction(QStringLiteral("全部不选"), this, [this] { m_choices->setLists({0, 1, 2}, false); });
    }
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(m_previewBrowser->view()->mapToGlobal(at));
}

void MainForm::showPreviewNotice(const QString &text)
{
    m_previewBrowser->view()->setHtml(
        QStringLiteral(
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><p>%1</p></body></html>")
            .arg(text.toHtmlEscaped()));
}

void MainForm::changeEvent(QEvent *event)
{
    // Minimizing gives no resize in Qt; restoring must run the pass again.
    if (event->type() == QEvent::WindowStateChange)
        applyLayout();
    QMainWindow::changeEvent(event);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    m_memory->setWindowGeometry(saveGeometry());
    m_memory->setWindowMaximized(isMaximized());
    QMainWindow::closeEvent(event);
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        applyLayout();
        repaintStatusRow();
    } else if ((watched == m_addressBox || watched == m_addressBox->lineEdit()) &&
               event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            openTypedAddress();
            // The combo box's own Enter would look the text up among the entries without regard
            // to case, make the entry found current (rewriting the text to it) and report it as
            // chosen. Taken here, it also cannot reach this filter a second time through the box.
            return true;
        }
    } else if (watched == m_messages->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        showSelectedMessage();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::startUp()
{
    m_itemBrowser->setSilent(true);
    m_previewBrowser->setSilent(true);
    m_itemBrowser->navigate(m_homePageUrl);
}

FormMetrics MainForm::formMetrics() const
{
    FormMetrics metrics;
    metrics.clientWidth = m_client->width() * kTwipsPerPixel;
    metrics.clientHeight = m_client->height() * kTwipsPerPixel;
    metrics.outerWidth = frameGeometry().width() * kTwipsPerPixel;
    metrics.statusBarTop = m_statusBar->y() * kTwipsPerPixel;
    metrics.minimized = isMinimized();
    return metrics;
}

// The toolbar, the address bar and the status bar are docked: they follow the client width
// whether or not the layout pass gets through.
void MainForm::dockControls()
{
    const int width = m_client->width();
    const int statusHeight = toPixels(kStatusBarHeight);
    m_toolBar->setGeometry(0, 0, width, toPixels(kToolbarHeight));
    m_addressRow->setGeometry(0, toPixels(kToolbarHeight), width, toPixels(kAddressBarHeight));
    m_statusBar->setGeometry(0, m_client->height() - statusHeight, width, statusHeight);
}

void MainForm::applyLayout()
{
    if (isMinimized())
        return;
    dockControls();
    m_geometry = layoutPass(formMetrics(), m_geometry);
    applyGeometry();
}

void MainForm::repaintStatusRow()
{
    if (isMinimized())
        return;
    m_geometry = repaintPass(formMetrics(), m_geometry);
    applyGeometry();
}

void MainForm::applyGeometry()
{
    // setGeometry with the current value does nothing, so a repaint after a full pass moves nothing.
    m_browserSplit->setGeometry(toPixels(m_geometry.browsers));
    m_addressBox->setGeometry(toPixels(m_geometry.addressBox));
    m_collectButton->setGeometry(toPixels(m_geometry.collectButton));
    m_downloadButton->setGeometry(toPixels(m_geometry.downloadButton));
    m_progressBar->setGeometry(toPixels(m_geometry.progressBar));
}

void MainForm::handleCollectClicked()
{
    // The collect reloads the box's text: from now on the box follows that page again.
    m_pageAddressText = m_addressBox->currentText();
    Q_EMIT collectRequested(m_pageAddressText);
}

// The box follows the page unless its text is no longer what it last took from the page or
// handed to it: then the user has typed or chosen something else, which stays until it is used.
void MainForm::handleItemUrlChanged(const QUrl &url)
{
    if (m_addressBox->currentText() != m_pageAddressText)
        return;
    m_pageAddressText = url.toString();
    m_addressBox->setEditText(m_pageAddressText);
}

void MainForm::handleDownloadClicked()
{
    Q_EMIT downloadRequested();
}

void MainForm::openTypedAddress()
{
    m_itemBrowser->setVisible(true);
    m_previewBrowser->setVisible(false);
    m_tabs->setCurrentIndex(0);
    // A text shared from the marketplace's app opens the address it holds.
    const QString text = addressOfSharedText(m_addressBox->currentText().trimmed());
    m_addressBox->setEditText(text);
    m_pageAddressText = text;
    Q_EMIT userNavigated();
    m_itemBrowser->navigate(text);
    rememberAddress(text);
}

// Most recent first, each address once (compared case-sensitively), the oldest dropped past the
// limit; the box keeps showing the text.
void MainForm::rememberAddress(const QString &text)
{
    QStringList entered{text};
    for (int i = 0; i < m_addressBox->count(); ++i) {
        if (m_addressBox->itemText(i) != text)
            entered.append(m_addressBox->itemText(i));
    }
    entered = entered.mid(0, WindowMemory::kAddresses);
    m_addressBox->clear();
    m_addressBox->addItems(entered);
    m_addressBox->setEditText(text);
    m_memory->setAddresses(entered);
}

void MainForm::handleToolbarButton(const QString &key)
{
    // Back or Forward without history do nothing; the engine reports no failure.
    if (key != QStringLiteral("Stop"))
        Q_EMIT userNavigated();
    if (key == QStringLiteral("Back")) {
        m_itemBrowser->goBack();
    } else if (key == QStringLiteral("Forward")) {
        m_itemBrowser->goForward();
    } else if (key == QStringLiteral("Refresh")) {
        m_itemBrowser->refresh();
    } else if (key == QStringLiteral("Home")) {
        m_itemBrowser->goHome();
    } else if (key == QStringLiteral("Search")) {
        m_itemBrowser->goSearch();
    } else if (key == QStringLiteral("Stop")) {
        Q_EMIT stopRequested();
        m_itemBrowser->stop();
        applyCaptionRule();
    }
}

void MainForm::handleLoadStarted()
{
    m_statusBar->showMessage(QStringLiteral("载入中…"));
}

void MainForm::handleLoadFinished()
{
    m_statusBar->showMessage(QStringLiteral("加载完成"));
    if (!m_progressHeld)
        m_progressBar->setValue(0);
}

void MainForm::handleTitleChanged()
{
    applyCaptionRule();
}

void MainForm::applyCaptionRule()
{
    setWindowTitle(windowTitle().section(u'_', 0, 0) + u'_' + m_itemBrowser->locationName());
}

void MainForm::handleTabChanged()
{
    const QString key = m_tabs->tabData(m_tabs->currentIndex()).toString();
    if (key == kTabBrowse) {
        m_itemBrowser->setVisible(true);
        m_previewBrowser->setVisible(false);
    } else if (key == kTabPreview) {
        m_itemBrowser->setVisible(false);
        m_previewBrowser->setVisible(true);
    }
}

void MainForm::showSelectedMessage()
{
    m_dialogs->showMessage(m_messages->selectedText(), QStringLiteral("提示信息"));
}

// The file manager shows the folder; a folder removed since the line was written, or a desktop
// without a file manager, is reported.
void MainForm::openMessageFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir()) {
        m_messages->insertLine(QStringLiteral("消息提示:文件夹不存在:") + folder);
        return;
    }
    openOutside(QUrl::fromLocalFile(folder), QStringLiteral("消息提示:无法打开文件夹:") + folder);
}

// Opens the address outside the program; if nothing can, the message line says so.
void MainForm::openOutside(const QUrl &address, const QString &failureLine)
{
    m_dialogs->openExternal(address, [window = QPointer<MainForm>(this), failureLine] {
        if (window)
            window->m_messages->insertLine(failureLine);
    });
}

void MainForm::showVersion()
{
    m_dialogs->showMessage(versionText(), QStringLiteral("软件版本信息"));
}

void MainForm::showHelp()
{
    m_dialogs->showMessage(helpText(), QStringLiteral("使用帮助"));
}

void MainForm::openPromotionLink()
{
    openOutside(promotionAddress(), QStringLiteral("消息提示:无法打开网址:") + promotionAddress().toString());
}

} // namespace talvesk
