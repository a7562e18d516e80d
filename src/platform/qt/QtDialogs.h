// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace talvesk {

// Dialogs as Qt widgets, modal to the given window.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *owner = nullptr) : m_owner(owner) {}

    void showMessage(const QString &text, const QString &title) override;
    void showLines(const QStringList &lines, const QString &title) override;
    void ask(const QString &text, const QString &title, std::function<void(bool)> answered) override;
    void chooseFolder(const QString &title, const QString &initialFolder,
                      std::function<void(QString)> chosen) override;
    void openExternal(const QUrl &address, std::function<void()> failed) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace talvesk
