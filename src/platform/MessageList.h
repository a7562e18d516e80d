// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace talvesk {

// A line of the message list as the command that inserted it knows it.
using MessageLine = quint64;

// The window's newest-first message list: lines are inserted at the top and never removed. A
// command rewrites its own lines by their handles, wherever later lines have pushed them, so
// commands side by side never overwrite each other.
class MessageList
{
public:
    virtual ~MessageList() = default;

    // Inserts a line at the top and returns its handle.
    virtual MessageLine insertLine(const QString &text) = 0;
    // Rewrites the line with this handle in place; a handle this list never gave is ignored.
    virtual void setLine(MessageLine line, const QString &text) = 0;
    // Ties the line to a folder on disk it reports on, so the user can open it from the line.
    // A list that cannot open folders ignores it.
    virtual void setLineFolder(MessageLine /*line*/, const QString & /*folder*/) {}
    // Shows a link on the line that opens the folder it is tied to (setLineFolder), for the line
    // that ends a job. A list that cannot open folders ignores it.
    virtual void showFolderLink(MessageLine /*line*/) {}
    // Marks the line with a warning sign, for what the user must not miss among the lines (a
    // collect that ended with notices). A list without signs ignores it.
    virtual void setLineWarning(MessageLine /*line*/) {}
    // Offers the user an action on the line, under the caption, beside the line's others (in
    // place of an earlier one under the same caption); an empty caption takes them all away. It may run for
    // as long as the list is there: what it refers to lives as long or is guarded. A list without a menu
    // ignores it.
    virtual void setLineAction(MessageLine /*line*/, const QString & /*caption*/,
                               std::function<void()> /*action*/)
    {
    }
};

} // namespace talvesk
