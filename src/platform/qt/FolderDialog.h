// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>

class QLineEdit;

namespace talvesk {

// Qt's own folder dialog, alike on every desktop, that also takes a folder typed into it which
// does not exist yet: it is created, with any missing parents, and chosen. A path that cannot be
// created is reported in a box over the dialog, which stays open with the text as typed.
class FolderDialog final : public QFileDialog
{
    Q_OBJECT

public:
    FolderDialog(QWidget *parent, const QString &title, const QString &initialFolder);

    // The folder chosen, once the dialog has been accepted.
    QString chosenFolder() const;
    void accept() override;

private:
    QString typedFolder() const;
    void allowTypedNewFolder();

    QLineEdit *m_nameEdit = nullptr;
    QString m_chosen;
};

} // namespace talvesk
