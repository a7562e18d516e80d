#include "platform/qt/QtMessageList.h"

namespace talvesk {

QtMessageList::QtMessageList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void QtMessageList::insertLine(const QString &text)
{
    insertItem(0, text);
}

void QtMessageList::setTopLine(const QString &text)
{
    if (count() == 0)
        insertItem(0, text);
    else
        item(0)->setText(text);
}

QString QtMessageList::selectedText() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

} // namespace talvesk
