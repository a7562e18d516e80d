// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/FolderDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace talvesk {

namespace {

constexpr int kDateColumn = 3;

// The file list's dates in the program's language: the file system model writes them in the
// system's locale whatever the program's is.
class LocalDates final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (files && role == Qt::DisplayRole && index.column() == kDateColumn)
            return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

// Why no folder can be made at path: the deepest part of it that exists is in the way.
QString obstacle(const QString &path)
{
    QFileInfo part(path);
    while (!part.exists() && !part.isRoot())
        part.setFile(part.absolutePath());
    if (!part.isDir())
        return QStringLiteral("%1 是文件,不是文件夹").arg(QDir::toNativeSeparators(part.filePath()));
    if (!part.isWritable())
        return QStringLiteral("没有在 %1 中新建文件夹的权限").arg(QDir::toNativeSeparators(part.filePath()));
    return QStringLiteral("系统拒绝新建");
}

} // namespace

FolderDialog::FolderDialog(QWidget *parent, const QString &title, const QString &initialFolder)
    : QFileDialog(parent, title, initialFolder)
{
    // Native dialogs differ by desktop, and not all of them take a typed new folder.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    setProxyModel(new LocalDates(this));
    m_nameEdit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    // After the dialog's own handler, which disables the button for a path that does not exist.
    if (m_nameEdit)
        connect(m_nameEdit, &QLineEdit::textChanged, this, &FolderDialog::allowTypedNewFolder);
}

QString FolderDialog::chosenFolder() const
{
    return m_chosen;
}

void FolderDialog::accept()
{
    const QString typed = typedFolder();
    if (typed.isEmpty()) { // the folder shown, or the one selected in the list
        m_chosen = selectedFiles().value(0);
        QFileDialog::accept();
        return;
    }
    if (!QFileInfo(typed).isDir() && (QFileInfo::exists(typed) || !QDir().mkpath(typed))) {
        // Over the dialog, which stays open with the text as typed; opened, not run in a nested
        // loop, which would hold everything else waiting in the event loop.
        auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("无法新建文件夹:%1\n原因:%2")
                                        .arg(QDir::toNativeSeparators(typed), obstacle(typed)),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    m_chosen = typed;
    QDialog::accept();
}

// The dialog takes the name field for what it selects in the list only when it names an
// existing entry, so the text is read here.
QString FolderDialog::typedFolder() const
{
    QString text = m_nameEdit ? m_nameEdit->text() : QString();
    if (text.isEmpty())
        return {};
    if (text == u'~' || text.startsWith(QStringLiteral("~/")))
        text.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(directory().absoluteFilePath(text));
}

void FolderDialog::allowTypedNewFolder()
{
    auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QPushButton *choose = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    const QString typed = typedFolder();
    if (choose && !typed.isEmpty() && !QFileInfo::exists(typed))
        choose->setEnabled(true);
}

} // namespace talvesk
