// SPDX-License-Identifier: GPL-3.0-or-later
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
    // Lines start with prefix (the item's place in a batch). A stream that is a terminal shows
    // the top line live, unless live is false (several lists write to it at once).
    explicit TerminalMessageList(std::FILE *stream, const QString &prefix = {}, bool live = true);
    ~TerminalMessageList() override;

    MessageLine insertLine(const QString &text) override;
    void setLine(MessageLine line, const QString &text) override;

    // Writes a line that is not part of the list (what a message box said) in its place in
    // time: after the top line as it reads now, which stays the top line.
    void writeAside(const QString &text);

    // Writes the pending top line; later lines follow it.
    void flush();

    // Writes a line that is not part of the list at once, with this list's prefix.
    void writeLine(const QString &text);

private:
    void clearLive();
    void showLive();

    std::FILE *m_stream;
    QString m_prefix;
    bool m_live;
    bool m_hasTop = false;
    bool m_topWritten = false; // the top line, as it reads now, is already in the stream
    QString m_top;
    MessageLine m_topLine = 0;
    MessageLine m_lastLine = 0;
};

} // namespace talvesk
