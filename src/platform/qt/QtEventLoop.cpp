#include "platform/qt/QtEventLoop.h"

#include <QEventLoop>
#include <QTimer>

namespace talvesk {

bool QtEventLoop::yield()
{
    if (m_shuttingDown)
        return false;
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
    return !m_shuttingDown;
}

} // namespace talvesk
