#pragma once

#include "app/FormLayout.h"
#include "platform/WindowControls.h"
#include "platform/qt/BrowserSetup.h"

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabBar;
class QToolBar;

namespace talvesk {

class Dialogs;
class EventLoop;
class MessageList;
class PageBrowser;
class QtDialogs;
class QtMessageList;
class QtPageBrowser;

struct MainFormSetup
{
    // Message boxes, the folder dialog and opening addresses outside; nullptr: the real ones.
    Dialogs *dialogs = nullptr;
    // The page start-up opens and the address box's first text.
    QString homePageUrl = QStringLiteral("https://www.taobao.com/");
    // Browse without keeping cookies or storage on disk (tests).
    bool offTheRecord = false;
};

// The program's one window. Its controls carry the designed names as object names
// ("WebBrowser1", "urladress", "Browser", ...). The collect and download commands are not
// part of it: they are started from collectRequested/downloadRequested and drive
// the window through WindowControls and the pieces below.
class MainForm final : public QMainWindow, public WindowControls
{
    Q_OBJECT

public:
    explicit MainForm(const MainFormSetup &setup = {}, QWidget *parent = nullptr);
    ~MainForm() override;

    PageBrowser &webBrowser1();
    PageBrowser &webBrowser2();
    MessageList &messages();
    EventLoop &eventLoop();
    Dialogs &dialogs();

    QString addressText() const override;
    void selectTab(Tab tab) override;
    void setWindowEnabled(bool enabled) override;
    // The progress bar, 0 to 100.
    void setProgress(int percent);

    QString statusText() const;
    // Where the last layout or repaint pass put the controls, in twips.
    const FormGeometry &formGeometry() const { return m_geometry; }

Q_SIGNALS:
    // Browser_Click: the collect button was pressed.
    void collectRequested();
    // DownLoad_Click: the download button was pressed.
    void downloadRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createToolBar();
    void createAddressBar();
    void createTabsAndBrowsers();
    void createStatusRow();
    void createMenus();
    void setFocusChain();

    void Form_Load();
    void Form_Resize();
    void Form_Paint();
    FormMetrics formMetrics() const;
    void dockControls();
    void applyGeometry();

    void Browser_Click();
    void DownLoad_Click();
    void urladress_KeyPress(int keyAscii);
    void Toolbar1_ButtonClick(const QString &key);
    void WebBrowser1_DownloadBegin();
    void WebBrowser1_DownloadComplete();
    void WebBrowser1_TitleChange();
    void applyCaptionRule();
    void TabStrip1_Click();
    void mesg_DblClick();
    void Ver_Click();
    void HelpDoc_Click();
    void DHSELL_Click();

    QString m_homePageUrl;
    std::unique_ptr<QtDialogs> m_ownDialogs;
    Dialogs *m_dialogs;
    BrowserSetup m_setup;
    QtPageBrowser *m_webBrowser1 = nullptr; // owned by its view
    QtPageBrowser *m_webBrowser2 = nullptr;

    QWidget *m_client = nullptr;
    QToolBar *m_toolbar1 = nullptr;
    QLabel *m_label1 = nullptr;
    QWidget *m_picAddress = nullptr;
    QLabel *m_lblAddress = nullptr;
    QComboBox *m_urladress = nullptr;
    QPushButton *m_browser = nullptr;
    QPushButton *m_downLoad = nullptr;
    QTabBar *m_tabStrip1 = nullptr;
    QtMessageList *m_mesg = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QStatusBar *m_statusBar1 = nullptr;

    FormGeometry m_geometry = initialFormGeometry();
};

} // namespace talvesk
