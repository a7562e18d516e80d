// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtMessageList.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <algorithm>

namespace talvesk {

namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kHandleRole = Qt::UserRole + 1;

// Every row one line high, whatever its text; the width is the view's, so long text is elided.
class OneLineDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    int rowHeight() const { return m_rowHeight; }
    void setRowHeight(int height) { m_rowHeight = height; }

    QSize sizeHint(const QStyleOptionViewItem & /*option*/, const QModelIndex & /*index*/) const override
    {
        return {1, m_rowHeight};
    }

private:
    int m_rowHeight = 0;
};

} // namespace

QtMessageList::QtMessageList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A sideways scroll bar would take the list's only row.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setUniformItemSizes(true);
    auto *delegate = new OneLineDelegate(this);
    delegate->setRowHeight(measureRowHeight());
    setItemDelegate(delegate);
}

MessageLine QtMessageList::insertLine(const QString &text)
{
    auto *line = new QListWidgetItem(text);
    insertItem(0, line);
    // Also after the user has scrolled away or selected an older line.
    scrollToItem(line, QAbstractItemView::PositionAtTop);
    m_lines.insert(++m_lastLine, line);
    line->setData(kHandleRole, m_lastLine);
    return m_lastLine;
}

void QtMessageList::setLine(MessageLine line, const QString &text)
{
    if (QListWidgetItem *item = m_lines.value(line))
        item->setText(text);
}

void QtMessageList::setLineFolder(MessageLine line, const QString &folder)
{
    if (QListWidgetItem *item = m_lines.value(line))
        item->setData(kFolderRole, folder);
}

// A flat button at the right end of the row, over the text's elided end.
void QtMessageList::showFolderLink(MessageLine line)
{
    QListWidgetItem *item = m_lines.value(line);
    if (!item || item->data(kFolderRole).toString().isEmpty() || itemWidget(item))
        return;
    auto *holder = new QWidget;
    auto *row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch();
    auto *link = new QToolButton(holder);
    link->setObjectName(QStringLiteral("folderLink"));
    link->setText(QStringLiteral("打开文件夹"));
    link->setAutoRaise(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setFocusPolicy(Qt::NoFocus);
    link->setMaximumHeight(static_cast<const OneLineDelegate *>(itemDelegate())->rowHeight());
    row->addWidget(link);
    connect(link, &QToolButton::clicked, this,
            [this, item] { Q_EMIT openFolderRequested(item->data(kFolderRole).toString()); });
    setItemWidget(item, holder);
}

void QtMessageList::setLineAction(MessageLine line, const QString &caption, std::function<void()> action)
{
    if (caption.isEmpty()) {
        m_actions.remove(line);
        return;
    }
    if (!m_lines.contains(line))
        return;
    QList<LineAction> &actions = m_actions[line];
    const auto same = std::find_if(actions.begin(), actions.end(), [&caption](const LineAction &offered) {
        return offered.caption == caption;
    });
    if (same != actions.end())
        same->run = std::move(action);
    else
        actions.append({caption, std::move(action)});
}

void QtMessageList::setLineWarning(MessageLine line)
{
    if (QListWidgetItem *item = m_lines.value(line))
        item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this));
}

QString QtMessageList::selectedText() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QString QtMessageList::allText() const
{
    QStringList lines;
    for (int row = 0; row < count(); ++row)
        lines.append(item(row)->text());
    return lines.join(u'\n');
}

void QtMessageList::changeEvent(QEvent *event)
{
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateRowHeight();
}

void QtMessageList::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu key acts on the current line, a right-click on the line under the pointer.
    const bool byMouse = event->reason() == QContextMenuEvent::Mouse;
    QListWidgetItem *line = byMouse ? itemAt(event->pos()) : currentItem();
    const QPoint at =
        byMouse || !line ? event->globalPos() : viewport()->mapToGlobal(visualItemRect(line).bottomLeft());
    const QString text = line ? line->text() : QString();
    const QString folder = line ? line->data(kFolderRole).toString() : QString();
    const QList<LineAction> actions =
        line ? m_actions.value(line->data(kHandleRole).value<MessageLine>()) : QList<LineAction>();

    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *copy = menu->addAction(QStringLiteral("复制"), this,
                                    [text] { QGuiApplication::clipboard()->setText(text); });
    copy->setEnabled(line != nullptr);
    QAction *copyAll = menu->addAction(QStringLiteral("复制全部"), this,
                                       [this] { QGuiApplication::clipboard()->setText(allText()); });
    copyAll->setEnabled(count() > 0);
    if (!folder.isEmpty())
        menu->addAction(QStringLiteral("打开文件夹"), this,
                        [this, folder] { Q_EMIT openFolderRequested(folder); });
    for (const LineAction &action : actions)
        menu->addAction(action.caption, this, action.run);
    menu->popup(at);
    event->accept();
}

// What the style gives a row of text in this font. Chinese characters come from a fallback
// font taller than most Latin ones, so the sample holds both.
int QtMessageList::measureRowHeight() const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("图片Ag");
    return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
}

int QtMessageList::heightForLines(int lines) const
{
    return static_cast<const OneLineDelegate *>(itemDelegate())->rowHeight() * lines + 2 * frameWidth();
}

void QtMessageList::updateRowHeight()
{
    auto *delegate = static_cast<OneLineDelegate *>(itemDelegate());
    const int rowHeight = measureRowHeight();
    if (rowHeight == delegate->rowHeight())
        return;
    delegate->setRowHeight(rowHeight);
    // Uniform rows keep their cached size until the layout is redone.
    scheduleDelayedItemsLayout();
    Q_EMIT rowHeightChanged();
}

} // namespace talvesk
