// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fake of the window's dialogs. Tests read the recorded fields.
//
//   FakeDialogs dialogs;        dialogs.folderAnswers = {"/tmp/x"}; // then "" (cancel)
//                               dialogs.holdQuestions = true; ... dialogs.pendingQuestion(true);

#include "platform/Dialogs.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace talvesk::test {

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

    void showMessage(const QString &text, const QString &title) override { boxes.append({text, title}); }
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

} // namespace talvesk::test
