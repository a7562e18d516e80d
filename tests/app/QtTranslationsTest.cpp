// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtTranslations.h"
#include "ShownWindow.h"
#include "platform/qt/QtDialogs.h"
#include "support/QStringPrinter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// With Qt's Chinese translations loaded, the OK button of the program's message box reads "确定".
TEST(QtTranslationsTest, MessageBoxOkButtonReadsChinese)
{
    ASSERT_TRUE(talvesk::installQtChineseTranslations(*QCoreApplication::instance()));

    talvesk::QtDialogs dialogs;
    dialogs.showMessage(QStringLiteral("图片已保存"), QStringLiteral("提示信息"));

    QMessageBox *box = talvesk::test::shownWindow<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    box->accept();
}

} // namespace
