// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminalDialogs.h"

#include "app/cli/TerminalMessageList.h"

#include <QDir>

namespace talvesk {

TerminalDialogs::TerminalDialogs(TerminalMessageList &messages, QString saveFolder)
    : m_messages(messages), m_saveFolder(std::move(saveFolder))
{
}

void TerminalDialogs::showMessage(const QString &text, const QString &title)
{
    m_messages.writeAside(title.isEmpty() ? text : title + QStringLiteral(": ") + text);
}

void TerminalDialogs::chooseFolder(const QString &, const QString &, std::function<void(QString)> chosen)
{
    chosen(m_saveFolder.isEmpty() ? QString()
                                  : QDir::cleanPath(QDir::current().absoluteFilePath(m_saveFolder)));
}

void TerminalDialogs::openExternal(const QUrl &, std::function<void()>)
{
}

} // namespace talvesk
