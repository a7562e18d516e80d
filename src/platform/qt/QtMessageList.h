#pragma once

#include "platform/MessageList.h"

#include <QListWidget>

namespace talvesk {

// The window's message list widget, newest line at the top.
class QtMessageList final : public QListWidget, public MessageList
{
    Q_OBJECT

public:
    explicit QtMessageList(QWidget *parent = nullptr);

    void insertLine(const QString &text) override;
    void setTopLine(const QString &text) override;

    // The text of the selected line; empty when none is selected.
    QString selectedText() const;
};

} // namespace talvesk
