// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace talvesk {

// What the window keeps from one run to the next: its place on the screen, the folder the last
// download went to and the addresses last entered. Nothing kept reads as empty.
class WindowMemory final
{
public:
    static constexpr int kAddresses = 20;

    // An empty file name: the user's settings in the platform's standard place.
    explicit WindowMemory(const QString &fileName = {});
    ~WindowMemory();
    WindowMemory(const WindowMemory &) = delete;
    WindowMemory &operator=(const WindowMemory &) = delete;

    // As QWidget::saveGeometry() gives it: size, position and maximised state.
    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray &geometry);

    QString saveFolder() const;
    void setSaveFolder(const QString &folder);

    // The last kAddresses addresses, oldest first.
    QStringList addresses() const;
    void setAddresses(const QStringList &addresses);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace talvesk
