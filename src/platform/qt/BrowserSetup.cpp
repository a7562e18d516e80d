// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/BrowserSetup.h"

#include "platform/qt/ProfileCopy.h"
#include "platform/qt/QtPageBrowser.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace talvesk {

namespace {

const QString &profileName()
{
    static const QString name = QStringLiteral("talvesk");
    return name;
}

// Where the engine keeps a named profile (QWebEngineProfile's own rule).
QString persistentStoragePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/QtWebEngine/") + profileName();
}

} // namespace

BrowserSetup::BrowserSetup(Storage storage)
{
    if (storage == Storage::OffTheRecord) {
        m_profile = std::make_shared<QWebEngineProfile>();
        return;
    }
    const QStringList copyPlaces = ProfileCopy::places();
    ProfileCopy::removeStale(copyPlaces);
    const QString path = persistentStoragePath();
    QDir().mkpath(path);
    m_lock = std::make_unique<QLockFile>(QDir(path).filePath(QStringLiteral("talvesk.lock")));
    m_lock->setStaleLockTime(0); // a lock whose process is gone is taken over, however old
    if (!m_lock->tryLock()) {
        m_lock.reset();
        // A copy taken between two writes of the other program is whole: the engine writes
        // the database in transactions with a rollback journal, copied alongside.
        QString error;
        m_copy = ProfileCopy::create(path, {QStringLiteral("Cookies"), QStringLiteral("Cookies-journal")},
                                     copyPlaces, error);
        if (!m_copy) {
            qCritical("talvesk: no private folder for a copy of the cookies (%s); browsing without them",
                      qUtf8Printable(error));
            m_profile = std::make_shared<QWebEngineProfile>();
            return;
        }
    }
    m_profile = std::make_shared<QWebEngineProfile>(profileName());
    if (m_copy) {
        m_profile->setPersistentStoragePath(m_copy->path());
        m_profile->setCachePath(m_copy->path());
        m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    }
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
}

BrowserSetup::~BrowserSetup() = default;

BrowserSetup::Pages BrowserSetup::createPages(QWidget *parent, QWidget *unseenParent)
{
    Pages pages{createPage(parent), createPage(parent), createUnseenPage(unseenParent)};
    pages.previewBrowser->setVisible(false);
    return pages;
}

QtPageBrowser *BrowserSetup::createPage(QWidget *parent)
{
    auto *browser = new QtPageBrowser(m_profile.get(), parent);
    browser->keepProfile(m_profile);
    browser->setParent(browser->view());
    browser->setSilent(true);
    return browser;
}

QtPageBrowser *BrowserSetup::createUnseenPage(QWidget *unseenParent)
{
    QtPageBrowser *browser = createPage(unseenParent);
    keepOutOfSight(browser->view());
    return browser;
}

void BrowserSetup::keepOutOfSight(QWebEngineView *view)
{
    // A desktop window's size, so that the document lays out and loads as it would on screen.
    const QSize size(1280, 900);
    view->setGeometry(QRect(QPoint(-size.width(), -size.height()), size));
    // Stays disabled when its window is enabled again (Qt::WA_ForceDisabled).
    view->setEnabled(false);
    view->setFocusPolicy(Qt::NoFocus);
    view->show();
}

} // namespace talvesk
