// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Ticker.h"

#include <QObject>
#include <QTimer>

namespace talvesk {

// A ticker on a QTimer, created as a child of owner under the given object name.
class QtTicker final : public Ticker
{
public:
    QtTicker(QObject *owner, const QString &objectName);
    ~QtTicker() override;

    void start(std::function<void()> onTick) override;
    void stop() override;

private:
    QTimer *m_timer;
    std::function<void()> m_onTick;
};

} // namespace talvesk
