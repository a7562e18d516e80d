// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fakes of the window's parts that commands drive: the message list, the dialogs and the
// controls. Tests read the recorded fields.
//
//   FakeMessageList messages;   // messages.lines[0] is the top line
//   FakeDialogs dialogs;        dialogs.folderAnswers = {"/tmp/x"}; // then "" (cancel)
//                               dialogs.holdQuestions = true; ... dialogs.pendingQuestion(true);
//   FakeWindowControls window;

#include "platform/Dialogs.h"
#include "platform/MessageList.h"
#include "platform/WindowControls.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace talvesk::test {

class FakeMessageList final : public MessageList
{
public:
    QStringList lines;
    int rewrites = 0;

    MessageLine insertLine(const QString &text) override
    {
        lines.prepend(text);
        m_handles.prepend(++m_lastLine);
        return m_lastLine;
    }
    void setLine(MessageLine line, const QString &text) override
    {
        ++rewrites;
        const qsizetype at = m_handles.indexOf(line);
        if (at >= 0)
            lines[at] = text;
    }

private:
    QList<MessageLine> m_handles; // beside lines
    MessageLine m_lastLine = 0;
};

class FakeDialogs final : public Dialogs
{
public:
    struct Box
    {
        QString text;
        QString title;
    };
    QList<Box> boxes;
    QList<QPair<QStringList, QString>> lineWindows; // (lines, title)
    QStringList folderAnswers;                      // answered in order; cancel once used up
    QList<QPair<QString, QString>> folderAsked;     // (title, initial folder)
    QList<QUrl> opened;
    bool openFails = false; // nothing on the desktop opens an address
    QList<Box> questions;
    bool answerYes = true;
    // Set: a question stays open until the test answers it through pendingQuestion.
    bool holdQuestions = false;
    std::function<void(bool)> pendingQuestion;
    std::function<void(const Box &)> onMessage; // e.g. to record what else was on screen

    void showMessage(const QString &text, const QString &title) override
    {
        boxes.append({text, title});
        if (onMessage)
            onMessage(boxes.last());
    }
    void showLines(const QStringList &lines, const QString &title) override
    {
        lineWindows.append({lines, title});
    }
    void ask(const QString &text, const QString &title, std::function<void(bool)> answered) override
    {
        questions.append({text, title});
        if (holdQuestions)
            pendingQuestion = std::move(answered);
        else
            answered(answerYes);
    }
    void chooseFolder(const QString &title, const QString &initialFolder,
                      std::function<void(QString)> chosen) override
    {
        folderAsked.append({title, initialFolder});
        chosen(folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst());
    }
    void openExternal(const QUrl &address, std::function<void()> failed) override
    {
        opened.append(address);
        if (openFails)
            failed();
    }
};

class FakeWindowControls final : public WindowControls
{
public:
    QList<Tab> selectedTabs;
    bool windowEnabled = true;
    QList<bool> windowEnabledChanges;

    void selectTab(Tab tab) override { selectedTabs.append(tab); }
    void setWindowEnabled(bool enabled) override
    {
        windowEnabled = enabled;
        windowEnabledChanges.append(enabled);
    }
};

} // namespace talvesk::test
