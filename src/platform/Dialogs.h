// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace talvesk {

// The modal questions and hand-offs a command may need from the desktop.
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
    // A modal yes/no question; true for yes.
    virtual bool ask(const QString &text, const QString &title) = 0;
    // A chooser of file-system folders starting at initialFolder; the empty text on cancel. A
    // folder typed into it that does not exist yet is created.
    virtual QString chooseFolder(const QString &title, const QString &initialFolder) = 0;
    // Opens the address outside the program: a web address in the user's default browser, a
    // local folder in the file manager. `failed` runs once, at once or later from the event
    // loop, when nothing on the desktop could open it.
    virtual void openExternal(const QUrl &address, std::function<void()> failed) = 0;
};

} // namespace talvesk
