// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtDialogs.h"
#include "ShownWindow.h"
#include "app/WaitUntil.h"
#include "support/QStringPrinter.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Hundreds of long failure lines fit the screen, one a line, selectable and copyable.
TEST(QtDialogsTest, LineWindowFitsTheScreen)
{
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines.append(QStringLiteral("图片下载失败:http://127.0.0.1/pics/%1/%2.jpg,原因:HTTP 404")
                         .arg(i)
                         .arg(QString(200, u'x')));
    talvesk::QtDialogs dialogs;
    dialogs.showLines(lines, QStringLiteral("下载失败的图片"));

    QDialog *window = talvesk::test::shownWindow<QDialog>();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("下载失败的图片"));
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(window->frameGeometry().height(), screen.height());
    EXPECT_LE(window->frameGeometry().width(), screen.width());
    auto *text = window->findChild<QPlainTextEdit *>();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->document()->blockCount(), 300);
    text->setFocus();
    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lines.join(u'\n'));
    window->accept();
}

// A question returns at once and answers once its box is closed, from the event loop: yes for
// 是, no for 否 and for a box closed without a choice.
TEST(QtDialogsTest, QuestionAnswersWhenItsBoxCloses)
{
    talvesk::QtDialogs dialogs;
    QList<bool> answers;
    for (const QMessageBox::StandardButton button :
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::NoButton}) {
        dialogs.ask(QStringLiteral("图片下载正在进行,确定要退出吗?"), QStringLiteral("下载提示"),
                    [&answers](bool yes) { answers.append(yes); });
        auto *box = talvesk::test::shownWindow<QMessageBox>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("图片下载正在进行,确定要退出吗?"));
        const qsizetype before = answers.size();
        if (button == QMessageBox::NoButton)
            box->reject();
        else
            box->button(button)->click();
        ASSERT_TRUE(talvesk::test::waitUntil([&] { return answers.size() == before + 1; }));
    }
    EXPECT_EQ(answers, (QList<bool>{true, false, false}));
}

} // namespace
