#include "platform/qt/QtPageBrowser.h"

#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageDocument.h"
#include "platform/qt/SilentWebPage.h"

#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <cstdlib>

namespace talvesk {

namespace {

EventLoop &unclosedLoop()
{
    static QtEventLoop loop;
    return loop;
}

} // namespace

QtPageBrowser::QtPageBrowser(QWebEngineProfile *profile, QWidget *parent)
    : m_loop(&unclosedLoop()), m_view(new QWebEngineView(parent)), m_viewObject(m_view.data()),
      m_page(new SilentWebPage(profile, m_view))
{
    m_view->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadStarted, this, &QtPageBrowser::handleLoadStarted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &QtPageBrowser::handleLoadFinished);
    connect(m_page, &QWebEnginePage::titleChanged, this, &QtPageBrowser::titleChanged);
    // Reported with each frame the page draws at a new scroll position.
    connect(m_page, &QWebEnginePage::scrollPositionChanged, this,
            [this](const QPointF &position) { m_drawnAt = qRound(position.y()); });
}

QtPageBrowser::~QtPageBrowser()
{
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
    if (!url.isValid() || url.scheme() == QStringLiteral("javascript")) {
        // Nothing can load: a caller waiting for this navigation must not wait at all.
        m_startCounted = false;
        m_state = LoadState::Failed;
        Q_EMIT navigationRequested();
        return;
    }
    load(url);
}

void QtPageBrowser::navigateBlank()
{
    load(QUrl(QStringLiteral("about:blank")));
}

void QtPageBrowser::load(const QUrl &url)
{
    m_scrolledTo = 0;
    m_drawnAt = 0;
    ++m_generation;
    m_startCounted = true;
    m_state = LoadState::Loading;
    Q_EMIT navigationRequested();
    if (m_page)
        m_page->load(url);
    else
        m_state = LoadState::Failed;
}

void QtPageBrowser::handleLoadStarted()
{
    if (m_startCounted)
        m_startCounted = false;
    else
        ++m_generation;
    m_state = LoadState::Loading;
    Q_EMIT loadStarted();
}

void QtPageBrowser::handleLoadFinished(bool ok)
{
    // The end of a load that a later navigate() replaced says nothing about the new one.
    if (!m_startCounted)
        m_state = ok ? LoadState::Finished : LoadState::Failed;
    Q_EMIT loadFinished(ok);
}

bool QtPageBrowser::drawingBehind() const
{
    // A hidden view draws nothing; there is no frame to wait for. A loader that watches the
    // drawn frames misses a place only when two frames lie more than a view apart.
    if (!m_view || !m_view->isVisible())
        return false;
    return std::abs(m_scrolledTo - m_drawnAt) > m_view->height() * 3 / 4;
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

bool QtPageBrowser::isSilent() const
{
    return m_page && m_page->isSilent();
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
    m_startCounted = false;
    if (m_state == LoadState::Loading)
        m_state = LoadState::Failed;
}

std::optional<QVariant> QtPageBrowser::evaluate(const QString &script, int generation)
{
    m_scriptTimedOut = false;
    if (!m_page || generation != m_generation)
        return std::nullopt;

    struct Answer
    {
        bool done = false;
        QVariant value;
    };
    // The engine may call back after this wait has given up, or never: the answer lives on
    // its own. The wait runs in the command's loop, so commands beside this one go on.
    auto answer = std::make_shared<Answer>();
    bool abandoned = false;
    bool timedOut = false;
    QObject waiting; // the connections below end with this wait
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &waiting, [&timedOut] { timedOut = true; });
    const auto abandon = [&abandoned] { abandoned = true; };
    connect(m_page, &QObject::destroyed, &waiting, abandon);
    connect(m_page, &QWebEnginePage::loadStarted, &waiting, abandon);
    connect(this, &QtPageBrowser::navigationRequested, &waiting, abandon);
    connect(this, &QObject::destroyed, &waiting, abandon);
    deadline.start(m_scriptTimeoutMs);
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant &value) {
        answer->done = true;
        answer->value = value;
    });

    QPointer<QtPageBrowser> self(this);
    EventLoop &loop = *m_loop; // read now: the browser may go while this waits
    if (!loop.waitUntil([&] { return answer->done || abandoned || timedOut; }))
        return std::nullopt;
    if (!self)
        return std::nullopt;
    m_scriptTimedOut = timedOut && !answer->done;
    if (!answer->done || generation != m_generation)
        return std::nullopt;
    return answer->value;
}

} // namespace talvesk
