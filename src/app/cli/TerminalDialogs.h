// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

namespace talvesk {

class TerminalMessageList;

// The dialogs of the command line: the folder question is answered by --save, and an
// information box becomes a line of its own among the message lines, in its place in time.
class TerminalDialogs final : public Dialogs
{
public:
    TerminalDialogs(TerminalMessageList &messages, QString saveFolder);

    void showMessage(const QString &text, const QString &title) override;
    // Nobody is there to answer: yes at once, as a script asked for the work.
    void ask(const QString &, const QString &, std::function<void(bool)> answered) override
    {
        answered(true);
    }
    // The folder of --save, at once.
    void chooseFolder(const QString &title, const QString &initialFolder,
                      std::function<void(QString)> chosen) override;
    void openExternal(const QUrl &address, std::function<void()> failed) override;

private:
    TerminalMessageList &m_messages;
    QString m_saveFolder;
};

} // namespace talvesk
