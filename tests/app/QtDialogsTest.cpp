// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtDialogs.h"
#include "ShownWindow.h"
#include "support/QStringPrinter.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Hundreds of long failure lines: the window stays within the screen, with every line in it, one
// a line, and they can be selected and copied.
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

} // namespace
