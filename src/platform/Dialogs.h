// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace talvesk {

// The boxes, questions and hand-offs the front ends need from the desktop. None of them waits:
// an answer comes through its callback, so no nested event loop ever runs.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // An information box with a single OK button, modal to the window; returns at once and
    // the box stays until it is closed.
    virtual void showMessage(const QString &text, const QString &title) = 0;
    // A window of lines, one item each, that the user can scroll, select and copy; it fits the
    // screen however many lines there are. Returns at once.
    virtual void showLines(const QStringList &lines, const QString &title)
    {
        showMessage(lines.join(u'\n'), title);
    }
    // A yes/no question, modal to the window; returns at once. `answered` runs once, from the
    // event loop or at once, with true for yes; not at all if the box goes unanswered with
    // the window.
    virtual void ask(const QString &text, const QString &title, std::function<void(bool)> answered) = 0;
    // A chooser of file-system folders starting at initialFolder, modal to the window; returns
    // at once. `chosen` runs once, from the event loop or at once, with the folder, or the empty
    // text on cancel. A folder typed into it that does not exist yet is created.
    virtual void chooseFolder(const QString &title, const QString &initialFolder,
                              std::function<void(QString)> chosen) = 0;
    // Opens the address outside the program: a web address in the user's default browser, a
    // local folder in the file manager. `failed` runs once, at once or later from the event
    // loop, when nothing on the desktop could open it.
    virtual void openExternal(const QUrl &address, std::function<void()> failed) = 0;
};

} // namespace talvesk
