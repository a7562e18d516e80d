// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

namespace talvesk {

// What the window keeps from one run to the next: its place on the screen, the folder the last
// download went to and the addresses last entered. Nothing kept reads as empty; settings that
// cannot be read or written are reported, each kind once.
class WindowMemory final
{
public:
    static constexpr int kAddresses = 20;

    // An empty file name: the user's settings in the platform's standard place.
    explicit WindowMemory(const QString &fileName = {});
    ~WindowMemory();
    WindowMemory(const WindowMemory &) = delete;
    WindowMemory &operator=(const WindowMemory &) = delete;

    // Where the settings are kept.
    QString fileName() const;
    // Whether the settings could not be read when they were opened.
    bool readFailed() const { return m_readFailed; }
    // Called the first time a change cannot be written, from the call that changed it.
    void setOnWriteFailure(std::function<void()> failed) { m_onWriteFailure = std::move(failed); }

    // As QWidget::saveGeometry() gives it: size, position and maximised state.
    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray &geometry);
    // Kept apart as well: a window manager may not take the state from the geometry.
    bool windowMaximized() const;
    void setWindowMaximized(bool maximized);

    QString saveFolder() const;
    void setSaveFolder(const QString &folder);

    // The last kAddresses addresses, most recent first.
    QStringList addresses() const;
    void setAddresses(const QStringList &addresses);

private:
    void write(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> m_settings;
    bool m_readFailed = false;
    bool m_writeFailed = false;
    std::function<void()> m_onWriteFailure;
};

} // namespace talvesk
