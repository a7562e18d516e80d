// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The top-level window of a kind that is on the screen now, if any.
//
//   QMessageBox *box = talvesk::test::shownWindow<QMessageBox>();

#include <QApplication>
#include <QWidget>

namespace talvesk::test {

template <typename Window> Window *shownWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

} // namespace talvesk::test
