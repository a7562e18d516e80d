// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opens the context menu of a line of the window's message list, by right-click or by the menu
// key, chooses an entry and returns the menu's entries.
//
//   chooseFromLineMenu(*mesg, 0, true, QStringLiteral("重试失败的图片"));

#include "platform/qt/QtMessageList.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace talvesk::test {

// Chooses the entry of an open menu, closes it and returns its entries, separators left out.
inline QStringList chooseFromMenu(QMenu *menu, const QString &entry)
{
    QStringList entries;
    if (!menu)
        return entries;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        entries.append(action->text());
        if (action->text() == entry)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
    if (menu->isVisible())
        menu->close();
    return entries;
}

inline QStringList chooseFromLineMenu(QtMessageList &mesg, int row, bool byMouse, const QString &entry)
{
    mesg.scrollToItem(mesg.item(row), QAbstractItemView::PositionAtTop);
    // What the desktop sends for a right-click: the press selects, the menu event follows.
    const QPoint at = byMouse ? mesg.visualItemRect(mesg.item(row)).center() : QPoint(5, 5);
    if (byMouse)
        QTest::mousePress(mesg.viewport(), Qt::RightButton, {}, at);
    else
        mesg.setCurrentRow(row);
    QWidget *receiver = byMouse ? mesg.viewport() : static_cast<QWidget *>(&mesg);
    QContextMenuEvent menuEvent(byMouse ? QContextMenuEvent::Mouse : QContextMenuEvent::Keyboard, at,
                                receiver->mapToGlobal(at));
    QApplication::sendEvent(receiver, &menuEvent);
    if (byMouse)
        QTest::mouseRelease(mesg.viewport(), Qt::RightButton, {}, at);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    EXPECT_NE(menu, nullptr);
    return chooseFromMenu(menu, entry);
}

} // namespace talvesk::test
