// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real main window for tests: fake dialogs, an off-the-record profile and a home page on
// this machine, never the marketplace.
//
//   MainFormFixture: m_window, m_dialogs, m_server; control<QComboBox>("urladress").

#include "app/MainForm.h"
#include "app/WaitUntil.h"
#include "platform/EventLoop.h"
#include "platform/MessageList.h"
#include "platform/PageBrowser.h"
#include "support/FakeDialogs.h"
#include "support/LocalHttpServer.h"

#include <QComboBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace talvesk::test {

class MainFormFixture : public ::testing::Test
{
protected:
    explicit MainFormFixture(const QString &homePath = QStringLiteral("/home"))
    {
        m_server.route(QStringLiteral("/home"),
                       HttpResponse::html(
                           QStringLiteral("<html><head><title>Home</title></head><body>home</body></html>")));
        MainFormSetup setup;
        setup.dialogs = &m_dialogs;
        setup.homePageUrl =
            homePath.isEmpty() ? QStringLiteral("about:blank") : m_server.url(homePath).toString();
        setup.offTheRecord = true;
        setup.settingsFile = m_settings.filePath(QStringLiteral("talvesk.conf"));
        m_window = std::make_unique<MainForm>(setup);
    }

    template <typename Widget> Widget *control(const QString &name) const
    {
        auto *widget = m_window->findChild<Widget *>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    // What the address box and the status bar show.
    QString addressText() const { return control<QComboBox>(QStringLiteral("urladress"))->currentText(); }
    QString statusText() const { return control<QStatusBar>(QStringLiteral("StatusBar1"))->currentMessage(); }

    bool showWindow()
    {
        m_window->show();
        return waitUntil([this] { return m_window->isVisible(); });
    }

    bool waitForLoad(PageBrowser &browser)
    {
        return waitUntil([&browser] { return browser.loadState() != PageBrowser::LoadState::Loading; });
    }

    QTemporaryDir m_settings; // the window's own, new for every test
    LocalHttpServer m_server;
    FakeDialogs m_dialogs;
    std::unique_ptr<MainForm> m_window;
};

} // namespace talvesk::test
