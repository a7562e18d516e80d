// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageList.h"

#include <optional>

namespace talvesk {

struct CollectProgress;
struct CollectResult;

// One collect in message lines, in the window and on the command line alike: its progress
// line, rewritten in place with the seconds, then what it came to.
class CollectLines final
{
public:
    explicit CollectLines(MessageList &messages) : m_messages(messages) {}

    // The first report inserts the collect's line; the later ones rewrite it.
    void showProgress(const CollectProgress &progress);
    // Whether a report has come: the collect started.
    bool started() const { return m_line.has_value(); }
    // A collect's notices, then its summary, marked with a warning when there are notices; a
    // refusal, a stop or a failure as one line; a collect ended by the program's closing, nothing.
    void showResult(const CollectResult &result);

private:
    MessageList &m_messages;
    std::optional<MessageLine> m_line;
};

} // namespace talvesk
