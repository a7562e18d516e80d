// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtPageBrowser.h"

#include "platform/qt/QtPageDocument.h"
#include "platform/qt/SilentWebPage.h"

#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <cstdlib>

namespace talvesk {

namespace {

// The engine refuses longer addresses without a word: their load would never end.
constexpr qsizetype kMaxAddressLength = 2 * 1024 * 1024;

// A page's own script may keep it from answering ours for good.
constexpr int kScriptTimeoutMs = 10000;

} // namespace

QtPageBrowser::QtPageBrowser(QWebEngineProfile *profile, QWidget *parent)
    : m_view(new QWebEngineView(parent)), m_viewObject(m_view.data()),
      m_page(new SilentWebPage(profile, m_view)), m_scriptTimeLimitMs(kScriptTimeoutMs)
{
    m_view->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadStarted, this, &QtPageBrowser::handleLoadStarted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &QtPageBrowser::handleLoadFinished);
    connect(m_page, &SilentWebPage::mainFrameNavigationStarted, this,
            &QtPageBrowser::handleNavigationStarted);
    connect(m_page, &QWebEnginePage::titleChanged, this, &QtPageBrowser::titleChanged);
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        m_committed = true;
        m_address = url;
        Q_EMIT urlChanged(url);
    });
    // Reported with each frame the page draws at a new scroll position.
    connect(m_page, &QWebEnginePage::scrollPositionChanged, this, [this](const QPointF &position) {
        m_drawnAt = qRound(position.y());
        changed();
    });
}

QtPageBrowser::~QtPageBrowser()
{
    m_destroying = true;
    // Whatever waits on this page ends now: its reads fail and its waiters are told.
    Q_EMIT navigationRequested();
    changed();
    // A browser owned by its view goes while the view deletes its children: the view is then
    // half destroyed and no longer a view, so it is compared as a plain object, not cast to one.
    if (!m_view.isNull() && parent() != m_viewObject)
        delete m_view.data();
    delete m_page.data();
}

QWebEngineView *QtPageBrowser::view() const
{
    return m_view.data();
}

QString QtPageBrowser::homeAddress()
{
    return QStringLiteral("about:blank");
}

QString QtPageBrowser::searchAddress()
{
    return QStringLiteral("https://s.taobao.com/search");
}

void QtPageBrowser::navigate(const QString &address)
{
    const QUrl url = QUrl::fromUserInput(address);
    // A javascript: address runs in the page shown and loads nothing, so no load would end.
    if (!url.isValid() || url.scheme() == QStringLiteral("javascript") ||
        url.toEncoded().size() > kMaxAddressLength) {
        failAtOnce();
        return;
    }
    load(url);
}

void QtPageBrowser::navigateBlank()
{
    load(QUrl(QStringLiteral("about:blank")));
}

void QtPageBrowser::failAtOnce()
{
    // Nothing can load: a caller waiting for this navigation must not wait at all.
    ++m_generation;
    m_ownNavigationPending = false;
    m_ownStartPending = false;
    m_state = LoadState::Failed;
    Q_EMIT navigationRequested();
    changed();
}

void QtPageBrowser::load(const QUrl &url)
{
    m_address = url;
    m_drawnAt.reset();
    ++m_generation;
    m_ownNavigationPending = true;
    // The engine reports one start and one end for each stretch of loading, each a turn of the
    // event loop late. A load begun while the engine is still loading gets no start of its own:
    // the end of that stretch is its end. Otherwise an end still on its way is an earlier load's.
    m_ownStartPending = !(m_page && m_page->isLoading());
    m_committed = false;
    m_state = LoadState::Loading;
    Q_EMIT navigationRequested();
    if (m_page)
        m_page->load(url);
    else
        m_state = LoadState::Failed;
    changed();
}

void QtPageBrowser::handleNavigationStarted(const QUrl &url, bool redirect)
{
    m_address = url;
    // Every navigation of the main frame is counted here, also one that replaces a load
    // still running without a load start of its own (a script setting location early, which
    // the engine reports as a redirect). A redirect before the running navigation has shown
    // its address is the server's, and part of that navigation.
    if (m_ownNavigationPending) {
        m_ownNavigationPending = false;
        return;
    }
    if (redirect && !m_committed)
        return;
    m_committed = false;
    ++m_generation;
    m_state = LoadState::Loading;
    Q_EMIT navigationRequested();
    changed();
}

void QtPageBrowser::handleLoadStarted()
{
    m_ownStartPending = false;
    m_state = LoadState::Loading;
    Q_EMIT loadStarted();
    changed();
}

void QtPageBrowser::handleLoadFinished(bool ok)
{
    // The end of a load that a later load() replaced says nothing about the new one.
    if (!m_ownStartPending)
        m_state = ok ? LoadState::Finished : LoadState::Failed;
    Q_EMIT loadFinished(ok);
    changed();
}

void QtPageBrowser::notifyOnChange(std::function<void()> onChange)
{
    m_onChange.push_back(std::move(onChange));
}

void QtPageBrowser::changed()
{
    // Each waiter is told once; one told may subscribe again at once.
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_onChange);
    for (const std::function<void()> &onChange : waiting)
        onChange();
}

bool QtPageBrowser::drawingBehind(int scrolledTo) const
{
    // A hidden view draws nothing; there is no frame to wait for. A loader that watches the
    // drawn frames misses a place only when two frames lie more than a view apart.
    if (!m_view || !m_view->isVisible())
        return false;
    // Before its first frame after the load, a page's loaders have not seen even its first
    // view: scrolling on would carry the places at its top past them.
    if (!m_drawnAt)
        return scrolledTo > 0;
    return std::abs(scrolledTo - *m_drawnAt) > m_view->height() * 3 / 4;
}

std::unique_ptr<PageDocument> QtPageBrowser::document()
{
    if (!m_page)
        return nullptr;
    return std::make_unique<QtPageDocument>(this, m_generation);
}

void QtPageBrowser::setVisible(bool visible)
{
    if (m_view)
        m_view->setVisible(visible);
}

bool QtPageBrowser::isVisible() const
{
    return m_view && !m_view->isHidden();
}

QString QtPageBrowser::locationName() const
{
    if (!m_page)
        return {};
    const QString title = m_page->title();
    return title.isEmpty() ? m_page->url().toString() : title;
}

void QtPageBrowser::setSilent(bool silent)
{
    if (m_page)
        m_page->setSilent(silent);
}

void QtPageBrowser::goBack()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Back);
}

void QtPageBrowser::goForward()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Forward);
}

void QtPageBrowser::refresh()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Reload);
}

void QtPageBrowser::goHome()
{
    navigate(homeAddress());
}

void QtPageBrowser::goSearch()
{
    navigate(searchAddress());
}

void QtPageBrowser::stop()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Stop);
    m_ownStartPending = false;
    if (m_state == LoadState::Loading) {
        m_state = LoadState::Failed;
        changed();
    }
}

void QtPageBrowser::evaluate(const QString &script, int generation,
                             std::function<void(PageAnswer<QVariant>)> reply)
{
    if (!m_page || generation != m_generation) {
        answerGoneLater(std::move(reply));
        return;
    }

    // One answer, by whichever comes first: the page's, the time limit, a navigation, the
    // page going. The engine may call back after that, or never: the answer lives on its own,
    // and everything watching for it goes with it.
    struct Pending
    {
        std::function<void(PageAnswer<QVariant>)> reply;
        QObject watching;
        QTimer deadline;
    };
    auto pending = std::make_shared<Pending>();
    pending->reply = std::move(reply);
    const std::weak_ptr<Pending> weak = pending;
    QPointer<QtPageBrowser> self(this);
    const auto answer = [weak, self, generation](PageAnswer<QVariant> value) {
        const std::shared_ptr<Pending> current = weak.lock();
        if (!current || !current->reply)
            return;
        const auto deliver = std::move(current->reply);
        current->reply = nullptr;
        if (!self)
            return; // told when the browser went
        if (self->m_destroying || (value && generation != self->m_generation))
            value = ReadFailure::Gone;
        deliver(std::move(value));
    };
    pending->deadline.setSingleShot(true);
    connect(&pending->deadline, &QTimer::timeout, &pending->watching,
            [answer] { answer(ReadFailure::Unresponsive); });
    const auto abandon = [answer] { answer(ReadFailure::Gone); };
    connect(m_page, &QWebEnginePage::loadStarted, &pending->watching, abandon);
    connect(this, &QtPageBrowser::navigationRequested, &pending->watching, abandon);
    pending->deadline.start(m_scriptTimeLimitMs);
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                          [pending, answer](const QVariant &value) {
                              answer(value);
                              // The watchers go now; the answer stays until the engine lets go of this
                              // callback.
                              pending->deadline.stop();
                          });
}

void QtPageBrowser::answerGoneLater(std::function<void(PageAnswer<QVariant>)> reply)
{
    // Not in the caller's stack: every answer comes from the event loop, as the engine's do.
    QTimer::singleShot(0, [reply = std::move(reply)] { reply(ReadFailure::Gone); });
}

} // namespace talvesk
