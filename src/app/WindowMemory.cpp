// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowMemory.h"

#include <QSettings>

#include <algorithm>

namespace talvesk {

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kSaveFolder = QStringLiteral("download/folder");
const QString kMaximized = QStringLiteral("window/maximized");
// Oldest first, as kept before the list was most recent first; read when the new one is not there.
const QString kOldAddressHistory = QStringLiteral("address/history");
const QString kAddressHistory = QStringLiteral("address/recent");

} // namespace

WindowMemory::WindowMemory(const QString &fileName)
    : m_settings(fileName.isEmpty()
                     ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                   QStringLiteral("Talvesk"), QStringLiteral("Talvesk"))
                     : std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
    m_readFailed = m_settings->status() != QSettings::NoError;
}

WindowMemory::~WindowMemory() = default;

QString WindowMemory::fileName() const
{
    return m_settings->fileName();
}

void WindowMemory::write(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError || m_writeFailed)
        return;
    m_writeFailed = true;
    if (m_onWriteFailure)
        m_onWriteFailure();
}

QByteArray WindowMemory::windowGeometry() const
{
    return m_settings->value(kGeometry).toByteArray();
}

void WindowMemory::setWindowGeometry(const QByteArray &geometry)
{
    write(kGeometry, geometry);
}

bool WindowMemory::windowMaximized() const
{
    return m_settings->value(kMaximized).toBool();
}

void WindowMemory::setWindowMaximized(bool maximized)
{
    write(kMaximized, maximized);
}

QString WindowMemory::saveFolder() const
{
    return m_settings->value(kSaveFolder).toString();
}

void WindowMemory::setSaveFolder(const QString &folder)
{
    write(kSaveFolder, folder);
}

QStringList WindowMemory::addresses() const
{
    if (m_settings->contains(kAddressHistory))
        return m_settings->value(kAddressHistory).toStringList().mid(0, kAddresses);
    QStringList oldestFirst = m_settings->value(kOldAddressHistory).toStringList();
    std::reverse(oldestFirst.begin(), oldestFirst.end());
    return oldestFirst.mid(0, kAddresses);
}

void WindowMemory::setAddresses(const QStringList &addresses)
{
    write(kAddressHistory, addresses.mid(0, kAddresses));
}

} // namespace talvesk
