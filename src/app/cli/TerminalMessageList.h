#pragma once

#include "platform/MessageList.h"

#include <QString>

#include <cstdio>

namespace talvesk {

// The message list of the command line: every line goes to a stream (stderr), oldest first.
// A line is written once it stops being the top line, in its last form, so a running count
// that the window rewrites in place prints once; a line rewritten after that is written again. On a terminal
// the top line is also shown live, rewritten in place.
class TerminalMessageList final : public MessageList
{
public:
    explicit TerminalMessageList(std::FILE *stream);
    ~TerminalMessageList() override;

    MessageLine insertLine(const QString &text) override;
    void setLine(MessageLine line, const QString &text) override;

    // Writes a line that is not part of the list (what a message box said) in its place in
    // time: after the top line as it reads now, which stays the top line.
    void writeAside(const QString &text);

    // Writes the pending top line; later lines follow it.
    void flush();

private:
    void writeLine(const QString &text);
    void clearLive();
    void showLive();

    std::FILE *m_stream;
    bool m_live;
    bool m_hasTop = false;
    bool m_topWritten = false; // the top line, as it reads now, is already in the stream
    QString m_top;
    MessageLine m_topLine = 0;
    MessageLine m_lastLine = 0;
};

} // namespace talvesk
