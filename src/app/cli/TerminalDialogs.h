#pragma once

#include "platform/Dialogs.h"

namespace talvesk {

class MessageList;

// The dialogs of the command line: the folder question is answered by --save, and an
// information box becomes a message line, so it keeps its place among the other lines.
class TerminalDialogs final : public Dialogs
{
public:
    TerminalDialogs(MessageList &messages, QString saveFolder);

    void showMessage(const QString &text, const QString &title) override;
    QString chooseFolder(const QString &title, const QString &initialFolder) override;
    void openExternal(const QUrl &address) override;

private:
    MessageList &m_messages;
    QString m_saveFolder;
};

} // namespace talvesk
