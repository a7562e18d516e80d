// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminalMessageList.h"

#include <unistd.h>

namespace talvesk {

TerminalMessageList::TerminalMessageList(std::FILE *stream, const QString &prefix, bool live)
    : m_stream(stream), m_prefix(prefix), m_live(live && isatty(fileno(stream)) == 1)
{
}

TerminalMessageList::~TerminalMessageList()
{
    flush();
}

MessageLine TerminalMessageList::insertLine(const QString &text)
{
    flush();
    m_top = text;
    m_topLine = ++m_lastLine;
    m_hasTop = true;
    m_topWritten = false;
    showLive();
    return m_topLine;
}

void TerminalMessageList::setLine(MessageLine line, const QString &text)
{
    if (line == 0 || line > m_lastLine)
        return;
    if (line != m_topLine || !m_hasTop) {
        // A line already written is written again in its new form, in its place in time.
        writeAside(text);
        return;
    }
    if (m_top == text)
        return;
    m_top = text;
    m_topWritten = false;
    showLive();
}

void TerminalMessageList::writeAside(const QString &text)
{
    clearLive();
    // On a terminal the top line stays live below; elsewhere it is written as it reads now.
    if (!m_live && m_hasTop && !m_topWritten) {
        writeLine(m_top);
        m_topWritten = true;
    }
    writeLine(text);
    showLive();
}

void TerminalMessageList::flush()
{
    if (!m_hasTop)
        return;
    clearLive();
    if (!m_topWritten)
        writeLine(m_top);
    m_hasTop = false;
}

void TerminalMessageList::writeLine(const QString &text)
{
    const QByteArray line = (m_prefix + text).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_stream);
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
}

void TerminalMessageList::clearLive()
{
    if (m_live && m_hasTop)
        std::fputs("\r\033[K", m_stream);
}

void TerminalMessageList::showLive()
{
    if (!m_live || !m_hasTop)
        return;
    const QByteArray line = (m_prefix + m_top).toUtf8();
    std::fputs("\r\033[K", m_stream);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_stream);
    std::fflush(m_stream);
}

} // namespace talvesk
