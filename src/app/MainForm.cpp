#include "app/MainForm.h"

#include "app/AppIcons.h"
#include "app/ProgramVersion.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtMessageList.h"
#include "platform/qt/QtPageBrowser.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QWebEngineView>

namespace talvesk {

namespace {

constexpr int kClientWidthTwips = 12195;
constexpr int kClientHeightTwips = 6870;
constexpr double kToolbarHeight = 480;
constexpr double kAddressBarHeight = 375;
constexpr double kStatusBarHeight = 375;
constexpr int kEnter = 13;

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
    return QStringLiteral("软件功能：淘宝宝贝主图和描述图采集下载。") + QStringLiteral("\r\n") +
           QStringLiteral(
               "使用方法：在地址栏输入接输入宝贝网址回车，浏览到目标采集宝贝详情页面，"
               "待页面图片全部显示后，点击<采集>按钮，采集完成后点击<下载>按钮，选择目录保存图片。") +
           QStringLiteral("\r\n");
}

QString versionText()
{
    return QStringList{QStringLiteral("软件名称：Talvesk"), versionLine(),
                       QStringLiteral("作者：Talvesk 开发组"),
                       QStringLiteral("联系方式：talvesk@example.com")}
        .join(u'\r');
}

QUrl promotionAddress()
{
    return QUrl(QStringLiteral("https://www.example.com/talvesk/danhao"));
}

} // namespace

MainForm::MainForm(const MainFormSetup &setup, QWidget *parent)
    : QMainWindow(parent), m_homePageUrl(setup.homePageUrl), m_dialogs(setup.dialogs),
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
    setFocusChain();
    m_client->installEventFilter(this);

    resize(toPixels(kClientWidthTwips), toPixels(kClientHeightTwips) + menuBar()->sizeHint().height());
    Form_Load();
}

MainForm::~MainForm()
{
}

void MainForm::createToolBar()
{
    m_toolbar1 = new QToolBar(m_client);
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setMovable(false);
    m_toolbar1->setFloatable(false);
    m_toolbar1->setIconSize(QSize(24, 24));
    m_toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
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
        QAction *action = m_toolbar1->addAction(toolbarPicture(picture++), QString());
        action->setObjectName(button.key);
        action->setToolTip(button.toolTip);
        connect(action, &QAction::triggered, this, [this, key = button.key] { Toolbar1_ButtonClick(key); });
    }

    m_label1 = new QLabel(QStringLiteral("采集速递"), m_toolbar1);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(toPixels(TwipRect{4200, 120, 735, 375}));
}

void MainForm::createAddressBar()
{
    m_picAddress = new QWidget(m_client);
    m_picAddress->setObjectName(QStringLiteral("picAddress"));

    m_lblAddress = new QLabel(QStringLiteral("地址(&A):"), m_picAddress);
    m_lblAddress->setObjectName(QStringLiteral("lblAddress"));
    m_lblAddress->move(toPixels(120), 0);

    m_urladress = new QComboBox(m_picAddress);
    m_urladress->setObjectName(QStringLiteral("urladress"));
    m_urladress->setEditable(true);
    // Only the Enter rule adds entries, compared case-sensitively; Qt's own insertion and its
    // case-insensitive inline completion would add or rewrite entries behind its back.
    m_urladress->setInsertPolicy(QComboBox::NoInsert);
    m_urladress->setCompleter(nullptr);
    m_urladress->setEditText(m_homePageUrl);
    m_urladress->setToolTip(QStringLiteral("可直接输入产品详情页的网址进行采集"));
    m_urladress->installEventFilter(this);
    m_urladress->lineEdit()->installEventFilter(this);
    // Alt+A: the label's access key focuses the box it names.
    m_lblAddress->setBuddy(m_urladress);
    m_lblAddress->adjustSize();

    m_browser = new QPushButton(QStringLiteral("采集&P"), m_picAddress);
    m_browser->setObjectName(QStringLiteral("Browser"));
    m_browser->setToolTip(QStringLiteral("Alt+P"));
    connect(m_browser, &QPushButton::clicked, this, &MainForm::Browser_Click);

    m_downLoad = new QPushButton(QStringLiteral("下载&D"), m_picAddress);
    m_downLoad->setObjectName(QStringLiteral("DownLoad"));
    m_downLoad->setToolTip(QStringLiteral("Alt+D"));
    connect(m_downLoad, &QPushButton::clicked, this, &MainForm::DownLoad_Click);
}

void MainForm::createTabsAndBrowsers()
{
    m_tabStrip1 = new QTabBar(m_client);
    m_tabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    m_tabStrip1->setGeometry(toPixels(TwipRect{0, 960, 11175, 5535}));
    m_tabStrip1->setDrawBase(false);
    m_tabStrip1->setExpanding(false);
    // The browsers cover the strip from 1200 twips down: its tabs must fit in 16 pixels.
    m_tabStrip1->setStyleSheet(QStringLiteral(
        "QTabBar::tab { height: 15px; padding: 0 12px; margin-right: 2px; border: 1px solid #a0a0a0;"
        " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px; background: "
        "#e6e6e6; }"
        "QTabBar::tab:selected { background: white; }"));
    m_tabStrip1->setTabData(m_tabStrip1->addTab(QStringLiteral("网页浏览")), kTabBrowse);
    m_tabStrip1->setTabData(m_tabStrip1->addTab(QStringLiteral("采集结果")), kTabPreview);
    m_tabStrip1->setCurrentIndex(0);

    // Created after the strip, so they are drawn in front of it.
    const BrowserSetup::PagePair pair = m_setup.createPagePair(m_client);
    m_webBrowser1 = pair.webBrowser1;
    m_webBrowser1->view()->setObjectName(QStringLiteral("WebBrowser1"));
    m_webBrowser2 = pair.webBrowser2;
    m_webBrowser2->view()->setObjectName(QStringLiteral("WebBrowser2"));

    connect(m_tabStrip1, &QTabBar::currentChanged, this, &MainForm::TabStrip1_Click);
    connect(m_webBrowser1, &QtPageBrowser::loadStarted, this, &MainForm::WebBrowser1_DownloadBegin);
    connect(m_webBrowser1, &QtPageBrowser::loadFinished, this, &MainForm::WebBrowser1_DownloadComplete);
    connect(m_webBrowser1, &QtPageBrowser::titleChanged, this, &MainForm::WebBrowser1_TitleChange);
}

void MainForm::createStatusRow()
{
    m_statusBar1 = new QStatusBar(m_client);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);

    // In front of the status bar, whose own text shows only in the row's leftmost tenth.
    m_progressBar1 = new QProgressBar(m_client);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);

    m_mesg = new QtMessageList(m_client);
    m_mesg->setObjectName(QStringLiteral("mesg"));
    m_mesg->setToolTip(QStringLiteral("双击查看"));
    m_mesg->viewport()->installEventFilter(this);

    m_statusBar1->lower();
    m_progressBar1->raise();
    m_mesg->raise();
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
         QKeySequence(Qt::CTRL | Qt::Key_B), &MainForm::Ver_Click},
        {QStringLiteral("Help"), QStringLiteral("使用帮助"), QStringLiteral("HelpDoc"),
         QStringLiteral("帮助文档"), QKeySequence(Qt::CTRL | Qt::Key_H), &MainForm::HelpDoc_Click},
        {QStringLiteral("DH"), QStringLiteral("快递单号出售"), QStringLiteral("DHSELL"),
         QStringLiteral("单号出售"), QKeySequence(Qt::CTRL | Qt::Key_M), &MainForm::DHSELL_Click},
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
         {static_cast<QWidget *>(m_statusBar1), static_cast<QWidget *>(m_progressBar1), m_picAddress,
          static_cast<QWidget *>(m_lblAddress), static_cast<QWidget *>(m_label1)})
        passive->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> chain{
        m_urladress,           m_browser, m_downLoad, m_mesg, m_tabStrip1, m_webBrowser1->view(),
        m_webBrowser2->view(), m_toolbar1};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

PageBrowser &MainForm::webBrowser1()
{
    return *m_webBrowser1;
}

PageBrowser &MainForm::webBrowser2()
{
    return *m_webBrowser2;
}

MessageList &MainForm::messages()
{
    return *m_mesg;
}

EventLoop &MainForm::eventLoop()
{
    return m_setup.eventLoop();
}

Dialogs &MainForm::dialogs()
{
    return *m_dialogs;
}

QString MainForm::addressText() const
{
    return m_urladress->currentText();
}

void MainForm::selectTab(Tab tab)
{
    const int index = static_cast<int>(tab) - 1;
    if (m_tabStrip1->currentIndex() == index)
        TabStrip1_Click(); // keeps the shown browser in step with the tab all the same
    else
        m_tabStrip1->setCurrentIndex(index);
}

void MainForm::setWindowEnabled(bool enabled)
{
    setEnabled(enabled);
}

void MainForm::setProgress(int percent)
{
    m_progressBar1->setValue(percent);
}

QString MainForm::statusText() const
{
    return m_statusBar1->currentMessage();
}

void MainForm::closeEvent(QCloseEvent *event)
{
    // A command waiting in the event loop unwinds at its next yield.
    m_setup.eventLoop().requestShutdown();
    QMainWindow::closeEvent(event);
}

void MainForm::changeEvent(QEvent *event)
{
    // Minimizing gives no resize in Qt; restoring must run the pass again.
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
    QMainWindow::changeEvent(event);
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        Form_Resize();
        Form_Paint();
    } else if ((watched == m_urladress || watched == m_urladress->lineEdit()) &&
               event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            urladress_KeyPress(kEnter);
        else if (!key->text().isEmpty())
            urladress_KeyPress(key->text().at(0).unicode());
    } else if (watched == m_mesg->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        mesg_DblClick();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::Form_Load()
{
    m_webBrowser1->setSilent(true);
    m_webBrowser2->setSilent(true);
    m_webBrowser1->navigate(m_homePageUrl);
}

FormMetrics MainForm::formMetrics() const
{
    FormMetrics metrics;
    metrics.clientWidth = m_client->width() * kTwipsPerPixel;
    metrics.clientHeight = m_client->height() * kTwipsPerPixel;
    metrics.outerWidth = frameGeometry().width() * kTwipsPerPixel;
    metrics.statusBarTop = m_statusBar1->y() * kTwipsPerPixel;
    metrics.minimized = isMinimized();
    return metrics;
}

// The toolbar, the address bar and the status bar are docked: they follow the client width
// whether or not the layout pass gets through.
void MainForm::dockControls()
{
    const int width = m_client->width();
    m_toolbar1->setGeometry(0, 0, width, toPixels(kToolbarHeight));
    m_picAddress->setGeometry(0, toPixels(kToolbarHeight), width, toPixels(kAddressBarHeight));
    m_statusBar1->setGeometry(0, m_client->height() - toPixels(kStatusBarHeight), width,
                              toPixels(kStatusBarHeight));
}

void MainForm::Form_Resize()
{
    if (isMinimized())
        return;
    dockControls();
    m_geometry = layoutPass(formMetrics(), m_geometry);
    applyGeometry();
}

void MainForm::Form_Paint()
{
    if (isMinimized())
        return;
    m_geometry = repaintPass(formMetrics(), m_geometry);
    applyGeometry();
}

void MainForm::applyGeometry()
{
    // setGeometry with the current value does nothing, so a repaint after a full pass moves nothing.
    m_webBrowser1->view()->setGeometry(toPixels(m_geometry.webBrowser1));
    m_webBrowser2->view()->setGeometry(toPixels(m_geometry.webBrowser2));
    m_urladress->setGeometry(toPixels(m_geometry.urladress));
    m_browser->setGeometry(toPixels(m_geometry.browser));
    m_downLoad->setGeometry(toPixels(m_geometry.downLoad));
    m_progressBar1->setGeometry(toPixels(m_geometry.progressBar1));
    m_mesg->setGeometry(toPixels(m_geometry.mesg));
}

void MainForm::Browser_Click()
{
    Q_EMIT collectRequested();
}

void MainForm::DownLoad_Click()
{
    Q_EMIT downloadRequested();
}

void MainForm::urladress_KeyPress(int keyAscii)
{
    if (keyAscii != kEnter)
        return;
    m_webBrowser1->setVisible(true);
    m_webBrowser2->setVisible(false);
    m_tabStrip1->setCurrentIndex(0);
    const QString text = m_urladress->currentText();
    m_webBrowser1->navigate(text);
    for (int i = 0; i < m_urladress->count(); ++i) {
        if (m_urladress->itemText(i) == text)
            return;
    }
    m_urladress->addItem(text);
}

void MainForm::Toolbar1_ButtonClick(const QString &key)
{
    // Back or Forward without history do nothing; the engine reports no failure.
    if (key == QStringLiteral("Back")) {
        m_webBrowser1->goBack();
    } else if (key == QStringLiteral("Forward")) {
        m_webBrowser1->goForward();
    } else if (key == QStringLiteral("Refresh")) {
        m_webBrowser1->refresh();
    } else if (key == QStringLiteral("Home")) {
        m_webBrowser1->goHome();
    } else if (key == QStringLiteral("Search")) {
        m_webBrowser1->goSearch();
    } else if (key == QStringLiteral("Stop")) {
        m_webBrowser1->stop();
        applyCaptionRule();
    }
}

void MainForm::WebBrowser1_DownloadBegin()
{
    m_statusBar1->showMessage(QStringLiteral("载入中…"));
}

void MainForm::WebBrowser1_DownloadComplete()
{
    m_statusBar1->showMessage(QStringLiteral("加载完成"));
    m_progressBar1->setValue(0);
}

void MainForm::WebBrowser1_TitleChange()
{
    applyCaptionRule();
}

void MainForm::applyCaptionRule()
{
    setWindowTitle(windowTitle().section(u'_', 0, 0) + u'_' + m_webBrowser1->locationName());
}

void MainForm::TabStrip1_Click()
{
    const QString key = m_tabStrip1->tabData(m_tabStrip1->currentIndex()).toString();
    if (key == kTabBrowse) {
        m_webBrowser1->setVisible(true);
        m_webBrowser2->setVisible(false);
    } else if (key == kTabPreview) {
        m_webBrowser1->setVisible(false);
        m_webBrowser2->setVisible(true);
    }
}

void MainForm::mesg_DblClick()
{
    m_dialogs->showMessage(m_mesg->selectedText(), QStringLiteral("提示信息"));
}

void MainForm::Ver_Click()
{
    m_dialogs->showMessage(versionText(), QStringLiteral("软件版本信息"));
}

void MainForm::HelpDoc_Click()
{
    m_dialogs->showMessage(helpText(), QStringLiteral("使用帮助"));
}

void MainForm::DHSELL_Click()
{
    m_dialogs->openExternal(promotionAddress());
}

} // namespace talvesk
