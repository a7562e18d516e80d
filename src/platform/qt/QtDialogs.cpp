// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtDialogs.h"

#include "platform/qt/FolderDialog.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace talvesk {

void QtDialogs::showMessage(const QString &text, const QString &title)
{
    // The texts break lines with CR LF or a lone CR, as the Windows message box did; Qt's
    // label breaks only at LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    auto *box = new QMessageBox(QMessageBox::Information, title, shown, QMessageBox::Ok, m_owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // "<采集>" in the help text is a word, not markup.
    box->setTextFormat(Qt::PlainText);
    // Opened, never run in a nested loop of its own, which would hold whatever waits in the
    // event loop (a download) until the box is closed.
    box->open();
}

void QtDialogs::showLines(const QStringList &lines, const QString &title)
{
    auto *window = new QDialog(m_owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    auto *text = new QPlainTextEdit(lines.join(u'\n'), window);
    text->setObjectName(QStringLiteral("lines"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, window);
    QObject::connect(buttons, &QDialogButtonBox::accepted, window, &QDialog::accept);
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(text);
    layout->addWidget(buttons);

    // As wide and tall as the lines want, within four fifths of the screen; the rest scrolls.
    const QFontMetrics metrics = text->fontMetrics();
    int widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QSize wanted(widest + 60, metrics.lineSpacing() * (static_cast<int>(lines.size()) + 1) + 100);
    const QScreen *screen = m_owner ? m_owner->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 4 / 5 : QSize(800, 600);
    window->resize(wanted.boundedTo(room).expandedTo(QSize(320, 160)));
    window->open();
}

void QtDialogs::ask(const QString &text, const QString &title, std::function<void(bool)> answered)
{
    auto *box =
        new QMessageBox(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_owner);
    box->setDefaultButton(QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)] {
        box->deleteLater();
        answered(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
    });
    box->open();
}

void QtDialogs::chooseFolder(const QString &title, const QString &initialFolder,
                             std::function<void(QString)> chosen)
{
    auto *dialog = new FolderDialog(m_owner, title, initialFolder);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        dialog->deleteLater();
        chosen(result == QDialog::Accepted ? dialog->chosenFolder() : QString());
    });
    dialog->open();
}

void QtDialogs::openExternal(const QUrl &address, std::function<void()> failed)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt hands the address to xdg-open and forgets it, so a desktop with nothing to open it
    // only complains on stderr. Run xdg-open here and watch how it ends.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        // No parent: without a desktop of its own, xdg-open runs the program it found until that
        // ends, and deleting a running QProcess would kill it; one still running when the
        // program ends is left to run.
        auto *process = new QProcess;
        process->setProgram(opener);
        process->setArguments(
            {address.isLocalFile() ? address.toLocalFile() : address.toString(QUrl::FullyEncoded)});
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->setStandardInputFile(QProcess::nullDevice());
        auto report = std::make_shared<std::function<void()>>(std::move(failed));
        auto started = std::make_shared<QElapsedTimer>();
        QObject::connect(process, &QProcess::finished, process,
                         [process, report, started](int code, QProcess::ExitStatus status) {
                             // A late end is that of the program it opened, not a failure to open.
                             constexpr qint64 kOpeningMs = 30000;
                             if ((status != QProcess::NormalExit || code != 0) &&
                                 started->elapsed() < kOpeningMs)
                                 (*report)();
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, report](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return; // finished() follows
                             (*report)();
                             process->deleteLater();
                         });
        started->start();
        process->start();
        return;
    }
#endif
    if (!QDesktopServices::openUrl(address))
        failed();
}

} // namespace talvesk
