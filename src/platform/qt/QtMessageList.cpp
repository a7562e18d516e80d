#include "platform/qt/QtMessageList.h"

namespace talvesk {

QtMessageList::QtMessageList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

MessageLine QtMessageList::insertLine(const QString &text)
{
    auto *line = new QListWidgetItem(text);
    insertItem(0, line);
    // Also after the user has scrolled away or selected an older line.
    scrollToItem(line, QAbstractItemView::PositionAtTop);
    m_lines.insert(++m_lastLine, line);
    return m_lastLine;
}

void QtMessageList::setLine(MessageLine line, const QString &text)
{
    if (QListWidgetItem *item = m_lines.value(line))
        item->setText(text);
}

QString QtMessageList::selectedText() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

} // namespace talvesk
