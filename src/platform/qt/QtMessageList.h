// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageList.h"

#include <QHash>
#include <QListWidget>

namespace talvesk {

// The window's message list widget, newest line at the top and always in view when it arrives.
// Every row is as tall as a line of its font (Chinese text included) and lines are cut at the
// right, never scrolled sideways, so the rows shown are always whole.
// Its context menu copies a line or all of them, opens the folder a line reports on and offers
// the action a command has put on a line.
class QtMessageList final : public QListWidget, public MessageList
{
    Q_OBJECT

public:
    explicit QtMessageList(QWidget *parent = nullptr);

    MessageLine insertLine(const QString &text) override;
    void setLine(MessageLine line, const QString &text) override;
    void setLineFolder(MessageLine line, const QString &folder) override;
    void showFolderLink(MessageLine line) override;
    void setLineAction(MessageLine line, const QString &caption, std::function<void()> action) override;
    void setLineWarning(MessageLine line) override;

    // The text of the selected line; empty when none is selected.
    QString selectedText() const;
    // Every line, newest first, one a line.
    QString allText() const;
    // The height, in pixels, that shows exactly this many whole lines in the current font.
    int heightForLines(int lines) const;

Q_SIGNALS:
    // The font or style changed what heightForLines() gives.
    void rowHeightChanged();
    // The user asked to open the folder a line reports on.
    void openFolderRequested(const QString &folder);

protected:
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    int measureRowHeight() const;
    void updateRowHeight();

    struct LineAction
    {
        QString caption;
        std::function<void()> run;
    };

    QHash<MessageLine, QListWidgetItem *> m_lines;   // items are never removed
    QHash<MessageLine, QList<LineAction>> m_actions; // in the order first offered
    MessageLine m_lastLine = 0;
};

} // namespace talvesk
