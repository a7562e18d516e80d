// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtTranslations.h"
#include "platform/qt/QtDialogs.h"
#include "support/QStringPrinter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QMessageBox *shownMessageBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

// With Qt's Chinese translations loaded, the OK button of the program's message box reads "确定".
TEST(QtTranslationsTest, MessageBoxOkButtonReadsChinese)
{
    ASSERT_TRUE(talvesk::installQtChineseTranslations(*QCoreApplication::instance()));

    QString okText;
    QTimer::singleShot(0, qApp, [&okText] {
        QMessageBox *box = shownMessageBox();
        ASSERT_NE(box, nullptr);
        okText = box->button(QMessageBox::Ok)->text();
        box->accept();
    });
    talvesk::QtDialogs dialogs;
    dialogs.showMessage(QStringLiteral("图片已保存"), QStringLiteral("提示信息"));

    EXPECT_EQ(okText, QStringLiteral("确定"));
}

} // namespace
