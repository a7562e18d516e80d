#pragma once

#include <QFileDialog>

namespace talvesk {

// Qt's own folder dialog, alike on every desktop, that also takes a folder typed into it which
// does not exist yet: it is created, with any missing parents, and chosen. A path that cannot be
// created is reported in a box over the dialog, which stays open with the text as typed.
class FolderDialog final : public QFileDialog
{
    Q_OBJECT

public:
    FolderDialog(QWidget *parent, const QString &title, const QString &initialFolder);

    void accept() override;

private:
    void allowTypedNewFolder();
};

} // namespace talvesk
