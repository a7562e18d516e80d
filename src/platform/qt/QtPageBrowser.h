#pragma once

#include "platform/PageBrowser.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <memory>
#include <optional>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace talvesk {

class EventLoop;
class SilentWebPage;

// PageBrowser over a QWebEngineView. The view is created here as a child of the given
// parent; the window places it. DOM reads run a script and wait for its answer in the event
// loop of the command reading, bounded in time and abandoned when the page loads something
// else or goes away.
class QtPageBrowser final : public QObject, public PageBrowser
{
    Q_OBJECT

public:
    static constexpr int kDefaultScriptTimeoutMs = 10000;

    // The page never outlives the profile: delete the browser before the profile.
    QtPageBrowser(QWebEngineProfile *profile, QWidget *parent);
    ~QtPageBrowser() override;

    // Keeps the profile alive until this browser's page is gone; for a browser owned by its
    // view (made its child), whose teardown order nobody writes.
    void keepProfile(std::shared_ptr<QWebEngineProfile> profile) { m_profileKeeper = std::move(profile); }

    // Where reads wait for the page's answer: the loop of the command that reads, which may
    // be one of several running side by side. Until set, one that no command closes.
    void waitIn(EventLoop &loop) { m_loop = &loop; }

    // Nullptr once the view has been destroyed with its parent.
    QWebEngineView *view() const;

    void navigate(const QString &address) override;
    void navigateBlank() override;
    LoadState loadState() const override { return m_state; }
    int loadGeneration() const override { return m_generation; }
    std::unique_ptr<PageDocument> document() override;
    bool scriptTimedOut() const override { return m_scriptTimedOut; }
    bool drawingBehind() const override;
    // Where a script of ours has just scrolled the page to.
    void noteScrolledTo(int y) { m_scrolledTo = y; }
    void setVisible(bool visible) override;
    bool isVisible() const override;
    QString locationName() const override;
    void setSilent(bool silent) override;
    bool isSilent() const;
    void goBack() override;
    void goForward() override;
    void refresh() override;
    void goHome() override;
    void goSearch() override;
    void stop() override;

    // Runs a script in an isolated world of the page and waits for its result. Nullopt when
    // the page has loaded something else since `generation`, is gone, or did not answer in time
    // (scriptTimedOut() then tells the last case apart).
    std::optional<QVariant> evaluate(const QString &script, int generation);
    void setScriptTimeout(int milliseconds) { m_scriptTimeoutMs = milliseconds; }

    static QString homeAddress();
    static QString searchAddress();

Q_SIGNALS:
    void loadStarted();
    void loadFinished(bool ok);
    void titleChanged(const QString &title);
    // Emitted by navigate() before the engine starts the load, so waiting reads give up early.
    void navigationRequested();

private:
    void load(const QUrl &url);
    void handleLoadStarted();
    void handleLoadFinished(bool ok);

    EventLoop *m_loop; // outlives this browser: a read may wait in it while the browser goes
    std::shared_ptr<QWebEngineProfile> m_profileKeeper; // released after the page, see keepProfile
    QPointer<QWebEngineView> m_view;
    const QObject *m_viewObject; // the view as an object, for comparisons while it is destroyed
    QPointer<SilentWebPage> m_page;
    LoadState m_state = LoadState::Finished;
    int m_generation = 0;
    // navigate() counted its load already; the engine's start of that load is not a new one.
    bool m_startCounted = false;
    int m_scriptTimeoutMs = kDefaultScriptTimeoutMs;
    bool m_scriptTimedOut = false;
    int m_scrolledTo = 0;
    int m_drawnAt = 0; // the scroll position of the page's latest frame
};

} // namespace talvesk
