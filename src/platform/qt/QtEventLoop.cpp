#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>

namespace talvesk {

bool QtEventLoop::yield()
{
    if (m_shuttingDown)
        return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_shuttingDown;
}

bool QtEventLoop::waitForEvents()
{
    if (m_shuttingDown)
        return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return !m_shuttingDown;
}

} // namespace talvesk
