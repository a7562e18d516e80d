#pragma once

#include <QString>

namespace talvesk {

// The window's newest-first message list: lines are inserted at the top and the top line
// may be rewritten while a command runs; nothing is ever removed.
class MessageList
{
public:
    virtual ~MessageList() = default;

    virtual void insertLine(const QString &text) = 0;
    virtual void setTopLine(const QString &text) = 0;
};

} // namespace talvesk
