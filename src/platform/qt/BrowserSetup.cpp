#include "platform/qt/BrowserSetup.h"

#include "platform/qt/QtPageBrowser.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QTemporaryDir>
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
    const QString path = persistentStoragePath();
    QDir().mkpath(path);
    m_lock = std::make_unique<QLockFile>(QDir(path).filePath(QStringLiteral("talvesk.lock")));
    m_lock->setStaleLockTime(0); // a lock whose process is gone is taken over, however old
    if (!m_lock->tryLock()) {
        m_lock.reset();
        m_copy = std::make_unique<QTemporaryDir>();
        // A copy taken between two writes of the other program is whole: the engine writes
        // the database in transactions with a rollback journal, copied alongside.
        for (const QString &name : {QStringLiteral("Cookies"), QStringLiteral("Cookies-journal")})
            QFile::copy(QDir(path).filePath(name), m_copy->filePath(name));
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

BrowserSetup::PagePair BrowserSetup::createPagePair(QWidget *parent)
{
    PagePair pair{};
    for (QtPageBrowser **browser : {&pair.itemBrowser, &pair.previewBrowser}) {
        *browser = new QtPageBrowser(m_profile.get(), parent);
        (*browser)->keepProfile(m_profile);
        (*browser)->setParent((*browser)->view());
        (*browser)->setSilent(true);
    }
    pair.previewBrowser->setVisible(false);
    return pair;
}

} // namespace talvesk
