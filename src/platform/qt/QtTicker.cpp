// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtTicker.h"

namespace talvesk {

QtTicker::QtTicker(QObject *owner, const QString &objectName) : m_timer(new QTimer(owner))
{
    m_timer->setObjectName(objectName);
    m_timer->setInterval(1000);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] {
        if (m_onTick)
            m_onTick();
    });
}

QtTicker::~QtTicker()
{
    delete m_timer;
}

void QtTicker::start(std::function<void()> onTick)
{
    m_onTick = std::move(onTick);
    m_timer->start();
}

void QtTicker::stop()
{
    m_timer->stop();
    m_onTick = nullptr;
}

} // namespace talvesk
