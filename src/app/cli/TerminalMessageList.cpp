#include "app/cli/TerminalMessageList.h"

#include <unistd.h>

namespace talvesk {

TerminalMessageList::TerminalMessageList(std::FILE *stream)
    : m_stream(stream), m_live(isatty(fileno(stream)) == 1)
{
}

TerminalMessageList::~TerminalMessageList()
{
    flush();
}

void TerminalMessageList::insertLine(const QString &text)
{
    flush();
    m_top = text;
    m_hasTop = true;
    showLive();
}

void TerminalMessageList::setTopLine(const QString &text)
{
    if (m_hasTop && m_top == text)
        return;
    m_top = text;
    m_hasTop = true;
    showLive();
}

void TerminalMessageList::flush()
{
    if (!m_hasTop)
        return;
    const QByteArray line = m_top.toUtf8();
    if (m_live)
        std::fputs("\r\033[K", m_stream);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_stream);
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
    m_hasTop = false;
}

void TerminalMessageList::showLive()
{
    if (!m_live)
        return;
    const QByteArray line = m_top.toUtf8();
    std::fputs("\r\033[K", m_stream);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_stream);
    std::fflush(m_stream);
}

} // namespace talvesk
