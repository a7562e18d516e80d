// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtDialogs.h"

#include "platform/qt/FolderDialog.h"

#include <QDesktopServices>
#include <QMessageBox>

namespace talvesk {

void QtDialogs::showMessage(const QString &text, const QString &title)
{
    // The texts break lines with CR LF or a lone CR, as the Windows message box did; Qt's
    // label breaks only at LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::Information, title, shown, QMessageBox::Ok, m_owner);
    // "<采集>" in the help text is a word, not markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::ask(const QString &text, const QString &title)
{
    return QMessageBox::question(m_owner, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

QString QtDialogs::chooseFolder(const QString &title, const QString &initialFolder)
{
    FolderDialog dialog(m_owner, title, initialFolder);
    return dialog.exec() == QDialog::Accepted ? dialog.chosenFolder() : QString();
}

void QtDialogs::openExternal(const QUrl &address)
{
    QDesktopServices::openUrl(address);
}

} // namespace talvesk
