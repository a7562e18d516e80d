#pragma once

#include "platform/WindowControls.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace talvesk {

// The window parts the commands drive, without a window: the address is the one being
// collected, the tick timer is real, and tabs, enabling and progress have nothing to show.
class HeadlessControls final : public QObject, public WindowControls
{
    Q_OBJECT

public:
    explicit HeadlessControls(std::function<void()> tick, QObject *parent = nullptr);

    void setAddress(const QString &address) { m_address = address; }

    QString addressText() const override { return m_address; }
    void selectTab(Tab) override {}
    void setWindowEnabled(bool) override {}
    void setTimerEnabled(bool enabled) override;
    void setProgress(int) override {}

private:
    QString m_address;
    QTimer m_timer;
};

} // namespace talvesk
