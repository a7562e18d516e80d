// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectCommand.h"

#include "collect/CollectSession.h"

namespace talvesk {

CollectCommand::CollectCommand(PageBrowser &itemBrowser, PageBrowser &descriptionBrowser, EventLoop &loop)
    : m_session(std::make_shared<CollectSession>(itemBrowser, descriptionBrowser, loop))
{
}

CollectCommand::~CollectCommand()
{
    m_session->leave();
}

void CollectCommand::setTimeLimit(int seconds)
{
    m_session->m_timeLimitSeconds = seconds;
}

void CollectCommand::setDescriptionBrowser(PageBrowser &browser)
{
    m_session->setDescriptionBrowser(browser);
}

void CollectCommand::setScrollTurns(ScrollTurns *turns)
{
    m_session->m_scrollTurns = turns;
}

QCoro::Task<CollectResult> CollectCommand::run(QString address, ProgressReport report)
{
    return CollectSession::run(m_session, std::move(address), std::move(report));
}

void CollectCommand::abort(CollectAbort reason)
{
    m_session->abort(reason);
}

bool CollectCommand::isRunning() const
{
    return m_session->m_running;
}

} // namespace talvesk
