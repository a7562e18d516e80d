// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/FormLayout.h"
#include "platform/qt/BrowserSetup.h"
#include "platform/qt/QtPageBrowser.h"

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabBar;
class QToolBar;

namespace talvesk {

class Dialogs;
class EventLoop;
class MessageList;
class PageBrowser;
class PictureChoiceModel;
class PreviewChoices;
class QtDialogs;
class QtMessageList;
class WindowMemory;

struct MainFormSetup
{
    // Message boxes, the folder dialog and opening addresses outside; nullptr: the real ones.
    Dialogs *dialogs = nullptr;
    // The page start-up opens and the address box's first text.
    QString homePageUrl = QStringLiteral("https://www.taobao.com/");
    // Browse without keeping cookies or storage on disk (tests).
    bool offTheRecord = false;
    // Where the window keeps what it remembers between runs; empty: the user's settings.
    QString settingsFile;
};

// The program's one window. Its controls carry the designed names as object names
// ("WebBrowser1", "urladress", "Browser", ...). The collect and download commands are not
// part of it: they are started from collectRequested/downloadRequested and drive
// the window through the pieces below.
class MainForm final : public QMainWindow
{
    Q_OBJECT

public:
    enum class Tab {
        Browse = 1,  // "网页浏览", key "WebBrw": the marketplace page
        Preview = 2, // "采集结果", key "PicUp": the preview page
    };

    explicit MainForm(const MainFormSetup &setup = {}, QWidget *parent = nullptr);
    ~MainForm() override;

    QtPageBrowser &itemBrowser();
    QtPageBrowser &previewBrowser();
    QtPageBrowser &descriptionBrowser();
    // A fresh page for description documents in place of the one there, which goes.
    QtPageBrowser &replaceDescriptionBrowser();
    MessageList &messages();
    EventLoop &eventLoop();
    Dialogs &dialogs();
    WindowMemory &memory();

    // Selects a tab as a click would, which also shows its browser and hides the other.
    void selectTab(Tab tab);
    // Enables or disables the whole window for user input.
    void setWindowEnabled(bool enabled);
    // The progress bar, 0 to 100.
    void setProgress(int percent);
    // While held, the bar shows a download's progress: the page's loads leave it alone.
    void setProgressHeld(bool held);

    // The pictures of the collected set the user has ticked; what 下载 saves.
    PictureChoiceModel &choices();
    // Tick boxes on the pictures of the preview just written, as the choice ticks them; a
    // message line says so when they cannot be added.
    void showPictureChoices();

    // Replaces the preview with a short page that says only this, so a set that is gone no longer
    // shows.
    void showPreviewNotice(const QString &text);

Q_SIGNALS:
    // The collect button was pressed, with the address box's text at that moment.
    void collectRequested(const QString &address);
    // The download button was pressed.
    void downloadRequested();
    // 停止 or Esc: a collect in progress ends where it is.
    void stopRequested();
    // The user navigated the marketplace page elsewhere (Enter, Back, Forward, Refresh, Home,
    // Search): a collect of the page shown so far has lost it.
    void userNavigated();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createToolBar();
    void createAddressBar();
    void createTabsAndBrowsers();
    void createStatusRow();
    void createMenus();
    void setFocusChain();

    void startUp();
    void applyLayout();
    void repaintStatusRow();
    FormMetrics formMetrics() const;
    void dockControls();
    void applyGeometry();
    void fitMessageLines();

    void handleCollectClicked();
    void handleDownloadClicked();
    // Enter in the address box: opens what it holds.
    void openTypedAddress();
    void rememberAddress(const QString &text);
    void handleToolbarButton(const QString &key);
    void handleLoadStarted();
    void handleLoadFinished();
    void handleTitleChanged();
    void handleItemUrlChanged(const QUrl &url);
    void applyCaptionRule();
    void handleTabChanged();
    void showSelectedMessage();
    void openMessageFolder(const QString &folder);
    void openOutside(const QUrl &address, const QString &failureLine);
    void showVersion();
    void showHelp();
    void openPromotionLink();
    void showChoiceCount();
    void showPreviewMenu(const QPoint &at);
    void openPreviewMenu(const QPoint &at, int picture);

    QString m_homePageUrl;
    std::unique_ptr<WindowMemory> m_memory;
    std::unique_ptr<QtDialogs> m_ownDialogs;
    Dialogs *m_dialogs;
    BrowserSetup m_setup;
    QtPageBrowser *m_itemBrowser = nullptr; // owned by its view
    QtPageBrowser *m_previewBrowser = nullptr;
    QtPageBrowser *m_descriptionBrowser = nullptr; // owned by its view, out of sight in m_client
    std::unique_ptr<PictureChoiceModel> m_choices;
    std::unique_ptr<PreviewChoices> m_previewChoices; // goes before the preview's view

    QWidget *m_client = nullptr;
    QToolBar *m_toolBar = nullptr;
    QLabel *m_brandLabel = nullptr;
    QLabel *m_choiceCount = nullptr; // "已选 N/M" while a set is collected
    QWidget *m_addressRow = nullptr;
    QLabel *m_addressLabel = nullptr;
    QComboBox *m_addressBox = nullptr;
    QPushButton *m_collectButton = nullptr;
    QPushButton *m_downloadButton = nullptr;
    QTabBar *m_tabs = nullptr;
    QSplitter *m_browserSplit = nullptr; // the browsers above, the message list below
    QtMessageList *m_messages = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QStatusBar *m_statusBar = nullptr;

    FormGeometry m_geometry = initialFormGeometry();
    // The address box's text when it was last set from the page or handed to it (Enter, 采集).
    QString m_pageAddressText;
    bool m_progressHeld = false;
};

} // namespace talvesk
