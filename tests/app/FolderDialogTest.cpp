// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/FolderDialog.h"

#include "app/QtTranslations.h"
#include "app/WaitUntil.h"
#include "platform/qt/QtDialogs.h"
#include "support/QStringPrinter.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using talvesk::test::waitUntil;

namespace {

// The text the dialog's list shows in a column for a path, once the list has read it.
QString listedText(QFileDialog *dialog, const QString &path, int column)
{
    auto *files = dialog->findChild<QFileSystemModel *>();
    if (!files)
        return {};
    QString text;
    // Empty when the list never reads it.
    (void)waitUntil(
        [&] {
            const QModelIndex source = files->index(path, column);
            const QModelIndex entry =
                dialog->proxyModel() ? dialog->proxyModel()->mapFromSource(source) : source;
            text = entry.data().toString();
            return !text.isEmpty();
        },
        5000);
    return text;
}

} // namespace

// A typed new folder is made and chosen; one that cannot be made keeps the dialog open, making nothing.
TEST(FolderDialog, TakesATypedNewFolder)
{
    ASSERT_TRUE(talvesk::installQtChineseTranslations(*QCoreApplication::instance()));
    QTemporaryDir start;
    ASSERT_TRUE(start.isValid());
    ASSERT_TRUE(QDir(start.path()).mkdir(QStringLiteral("已有")));
    QFile blocker(start.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    talvesk::QtDialogs dialogs;
    std::optional<QString> chosen;
    dialogs.chooseFolder(QStringLiteral("请选择保存目录"), start.path(),
                         [&chosen](const QString &folder) { chosen = folder; });
    auto *dialog = qobject_cast<talvesk::FolderDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    const QString kind = listedText(dialog, start.filePath(QStringLiteral("已有")), 2);
    const QString date = listedText(dialog, start.filePath(QStringLiteral("已有")), 3);

    auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    ASSERT_TRUE(nameEdit && buttons);
    QPushButton *choose = buttons->button(QDialogButtonBox::Open);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    nameEdit->setFocus();
    QTest::keyClicks(nameEdit, QStringLiteral("blocker/x"));
    QTest::keyClick(nameEdit, Qt::Key_Return);
    // The error box is up over the dialog, which waits with the text as typed.
    QMessageBox *box = nullptr;
    ASSERT_TRUE(
        waitUntil([&box] { return (box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())); }));
    const QString error = box->text();
    box->accept();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(nameEdit->text(), QStringLiteral("blocker/x"));
    EXPECT_FALSE(chosen.has_value());

    // Typed over the old text as an input method would, which key clicks cannot do for Chinese.
    nameEdit->selectAll();
    nameEdit->insert(QStringLiteral("新建/第二层"));
    EXPECT_TRUE(choose->isEnabled());
    QTest::mouseClick(choose, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&chosen] { return chosen.has_value(); }));

    EXPECT_EQ(*chosen, start.filePath(QStringLiteral("新建/第二层")));
    EXPECT_TRUE(QFileInfo(*chosen).isDir());
    EXPECT_TRUE(error.contains(start.filePath(QStringLiteral("blocker")))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(start.filePath(QStringLiteral("blocker/x"))));
    EXPECT_EQ(kind, QStringLiteral("文件夹"));
    const QDate today = QFileInfo(start.filePath(QStringLiteral("已有"))).lastModified().date();
    EXPECT_FALSE(date.isEmpty());
    EXPECT_FALSE(date.contains(QLocale::c().monthName(today.month(), QLocale::ShortFormat)))
        << date.toStdString();
}
