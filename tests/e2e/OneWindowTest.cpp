// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a desktop: run under tests/support/with-window-manager.sh, which gives it an X
// display of its own with a window manager.
#include "app/MainForm.h"
#include "app/MainFormCommands.h"

#include "app/WaitUntil.h"
#include "support/CurrentLayoutPages.h"
#include "support/FakeDialogs.h"
#include "support/QStringPrinter.h"
#include "support/SampleShop.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>

using talvesk::MainForm;
using talvesk::MainFormCommands;
using talvesk::MainFormSetup;
using talvesk::test::currentLayoutPage;
using talvesk::test::DescriptionDocument;
using talvesk::test::descriptionDocument;
using talvesk::test::DescriptionForm;
using talvesk::test::FakeDialogs;
using talvesk::test::Generation;
using talvesk::test::HttpResponse;
using talvesk::test::ItemPageMarkup;
using talvesk::test::Marketplace;
using talvesk::test::SampleShop;
using talvesk::test::waitUntil;

namespace {

xcb_connection_t *display()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow()
{
    return xcb_setup_roots_iterator(xcb_get_setup(display())).data->root;
}

// A window property of the root window as a list of windows; nullopt when it is not set.
std::optional<QList<quint32>> rootWindows(const char *property)
{
    xcb_connection_t *connection = display();
    const xcb_intern_atom_cookie_t atomCookie =
        xcb_intern_atom(connection, 1, static_cast<quint16>(qstrlen(property)), property);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return std::nullopt;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, rootWindow(), atom->atom, XCB_ATOM_WINDOW, 0, 1024);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    const auto *windows = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
    return QList<quint32>(windows, windows + xcb_get_property_value_length(reply.get()) / 4);
}

// The windows the window manager has mapped and manages: those a user sees, is given the focus
// of and can close.
QList<quint32> managedWindows()
{
    return rootWindows("_NET_CLIENT_LIST").value_or(QList<quint32>());
}

QStringList messageLines(const MainForm &window)
{
    QStringList lines;
    const auto *list = window.findChild<QListWidget *>(QStringLiteral("mesg"));
    for (int i = 0; list && i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

} // namespace

// The unseen page maps no window of its own, yet draws and scrolls its lazy pictures in.
TEST(OneWindow, DescriptionReadMapsNoWindowOfItsOwn)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_TRUE(rootWindows("_NET_SUPPORTING_WM_CHECK").has_value()) << "no window manager";

    SampleShop shop;
    const QString documentPath = QStringLiteral("/desc/index.html?id=1");
    const DescriptionDocument document =
        descriptionDocument(shop.port(), documentPath, DescriptionForm::ScriptModules);
    shop.server().route(documentPath, HttpResponse::html(document.markup));
    shop.server().hold(documentPath);
    const QString path = QStringLiteral("/named/item.htm");
    const ItemPageMarkup page =
        currentLayoutPage(shop.port(), path, Generation::IceContainer, Marketplace::Tmall,
                          {false, QStringLiteral("//127.0.0.1:%1%2").arg(shop.port()).arg(documentPath)});
    shop.server().route(path, HttpResponse::html(page.markup));

    const QTemporaryDir settings;
    FakeDialogs dialogs;
    MainFormSetup setup;
    setup.dialogs = &dialogs;
    setup.homePageUrl = QStringLiteral("about:blank");
    setup.offTheRecord = true;
    setup.settingsFile = settings.filePath(QStringLiteral("talvesk.conf"));
    MainForm window(setup);
    const MainFormCommands commands(window);
    window.show();
    const QList<quint32> mainOnly{static_cast<quint32>(window.windowHandle()->winId())};
    ASSERT_TRUE(waitUntil([&] { return managedWindows().contains(mainOnly.first()); }));
    EXPECT_EQ(managedWindows(), mainOnly);

    auto *addressBox = window.findChild<QComboBox *>(QStringLiteral("urladress"));
    ASSERT_NE(addressBox, nullptr);
    addressBox->setEditText(page.item.url.toString());
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("Browser")), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return shop.server().requestCount(documentPath) > 0; }));
    EXPECT_EQ(managedWindows(), mainOnly);

    shop.server().release(documentPath);
    ASSERT_TRUE(
        waitUntil([&] { return messageLines(window).value(0).startsWith(QStringLiteral("图片采集完成")); }));
    EXPECT_EQ(messageLines(window).value(0),
              QStringLiteral("图片采集完成,主图数:7,描述图数:5,总图数:12,可以进行下载！"));
    EXPECT_EQ(managedWindows(), mainOnly);
}
