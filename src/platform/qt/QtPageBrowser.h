// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageBrowser.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace talvesk {

class SilentWebPage;

// PageBrowser over a QWebEngineView. The view is created here as a child of the given
// parent; the window places it. DOM reads run a script and answer when the page does, bounded
// in time and abandoned when the page navigates or goes away.
class QtPageBrowser final : public QObject, public PageBrowser
{
    Q_OBJECT

public:
    // The page never outlives the profile: delete the browser before the profile.
    QtPageBrowser(QWebEngineProfile *profile, QWidget *parent);
    ~QtPageBrowser() override;

    // Keeps the profile alive until this browser's page is gone; for a browser owned by its
    // view (made its child), whose teardown order nobody writes.
    void keepProfile(std::shared_ptr<QWebEngineProfile> profile) { m_profileKeeper = std::move(profile); }

    // Nullptr once the view has been destroyed with its parent.
    QWebEngineView *view() const;

    void navigate(const QString &address) override;
    void navigateBlank() override;
    LoadState loadState() const override { return m_state; }
    QUrl address() const override { return m_address; }
    int loadGeneration() const override { return m_generation; }
    void notifyOnChange(std::function<void()> changed) override;
    std::unique_ptr<PageDocument> document() override;
    bool drawingBehind(int scrolledTo) const override;
    void setVisible(bool visible);
    bool isVisible() const;
    QString locationName() const;
    void setSilent(bool silent);
    void goBack();
    void goForward();
    void refresh();
    void goHome();
    void goSearch();
    void stop();

    // Runs a script in an isolated world of the page and calls reply with its result, once,
    // from the event loop: Gone when the page has navigated since `generation` or goes,
    // Unresponsive when it does not answer in time. A reply still waiting when the browser goes
    // is called then; none is called after.
    void evaluate(const QString &script, int generation, std::function<void(PageAnswer<QVariant>)> reply);
    // How long a script of ours waits for the page's answer before it is Unresponsive (10 s).
    void setScriptTimeLimit(int ms) { m_scriptTimeLimitMs = ms; }
    static void answerGoneLater(std::function<void(PageAnswer<QVariant>)> reply);

    static QString homeAddress();
    static QString searchAddress();

Q_SIGNALS:
    void loadStarted();
    void loadFinished(bool ok);
    void titleChanged(const QString &title);
    // The address of the page shown changed (a navigation of its main frame).
    void urlChanged(const QUrl &url);
    // A navigation begins, the program's or the page's, so waiting reads give up early.
    void navigationRequested();

private:
    void load(const QUrl &url);
    void handleNavigationStarted(const QUrl &url, bool redirect);
    void handleLoadStarted();
    void handleLoadFinished(bool ok);
    void failAtOnce();
    void changed();

    std::shared_ptr<QWebEngineProfile> m_profileKeeper; // released after the page, see keepProfile
    QPointer<QWebEngineView> m_view;
    const QObject *m_viewObject; // the view as an object, for comparisons while it is destroyed
    QPointer<SilentWebPage> m_page;
    LoadState m_state = LoadState::Finished;
    int m_generation = 0;
    // load() counted its navigation already; the engine's report of it is not a new one.
    bool m_ownNavigationPending = false;
    // A load() whose start the engine has not reported: the end of an earlier load is not its.
    bool m_ownStartPending = false;
    bool m_committed = false; // the navigation running has shown its address
    QUrl m_address;

    std::vector<std::function<void()>> m_onChange;
    bool m_destroying = false;
    int m_scriptTimeLimitMs;
    // The scroll position of the page's latest frame; none until it draws one after its load.
    std::optional<int> m_drawnAt;
};

} // namespace talvesk
