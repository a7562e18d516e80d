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
    // Connected after the dialog's own handlers, which disable the button for a path that
    // does not exist.
    if (auto *nameEdit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        connect(nameEdit, &QLineEdit::textChanged, this, &FolderDialog::allowTypedNewFolder);
}

void FolderDialog::accept()
{
    const QString folder = selectedFiles().value(0);
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        if (QFileInfo::exists(folder) || !QDir().mkpath(folder)) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("无法新建文件夹:%1\n原因:%2")
                                     .arg(QDir::toNativeSeparators(folder), obstacle(folder)));
            return;
        }
    }
    QFileDialog::accept();
}

void FolderDialog::allowTypedNewFolder()
{
    auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QPushButton *choose = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    const QString folder = selectedFiles().value(0);
    if (choose && !folder.isEmpty() && !QFileInfo::exists(folder))
        choose->setEnabled(true);
}

} // namespace talvesk
