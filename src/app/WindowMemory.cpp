// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowMemory.h"

#include <QSettings>

#include <algorithm>

namespace talvesk {

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kSaveFolder = QStringLiteral("download/folder");
const QString kAddressHistory = QStringLiteral("address/history");

} // namespace

WindowMemory::WindowMemory(const QString &fileName)
    : m_settings(fileName.isEmpty()
                     ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                   QStringLiteral("Talvesk"), QStringLiteral("Talvesk"))
                     : std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

WindowMemory::~WindowMemory() = default;

QByteArray WindowMemory::windowGeometry() const
{
    return m_settings->value(kGeometry).toByteArray();
}

void WindowMemory::setWindowGeometry(const QByteArray &geometry)
{
    m_settings->setValue(kGeometry, geometry);
}

QString WindowMemory::saveFolder() const
{
    return m_settings->value(kSaveFolder).toString();
}

void WindowMemory::setSaveFolder(const QString &folder)
{
    m_settings->setValue(kSaveFolder, folder);
}

QStringList WindowMemory::addresses() const
{
    return m_settings->value(kAddressHistory).toStringList();
}

void WindowMemory::setAddresses(const QStringList &addresses)
{
    m_settings->setValue(kAddressHistory,
                         addresses.mid(std::max<qsizetype>(0, addresses.size() - kAddresses)));
}

} // namespace talvesk
