#pragma once

#include "platform/MessageList.h"

#include <QHash>
#include <QListWidget>

namespace talvesk {

// The window's message list widget, newest line at the top and always in view when it arrives.
class QtMessageList final : public QListWidget, public MessageList
{
    Q_OBJECT

public:
    explicit QtMessageList(QWidget *parent = nullptr);

    MessageLine insertLine(const QString &text) override;
    void setLine(MessageLine line, const QString &text) override;

    // The text of the selected line; empty when none is selected.
    QString selectedText() const;

private:
    QHash<MessageLine, QListWidgetItem *> m_lines; // items are never removed
    MessageLine m_lastLine = 0;
};

} // namespace talvesk
