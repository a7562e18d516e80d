// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the README's picture of the window: the window opens a sample item page served on
// this machine, shows a message line, and saves itself as a PNG.
//
//   xvfb-run -a build/tools/screenshot/window_screenshot docs/screenshot.png

#include "app/MainForm.h"
#include "app/WaitUntil.h"
#include "platform/MessageList.h"
#include "platform/PageBrowser.h"
#include "support/FakeDialogs.h"
#include "support/LocalHttpServer.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using talvesk::PageBrowser;
using talvesk::test::HttpResponse;

namespace {

const QString kSamplePage = QStringLiteral(R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>手工陶瓷马克杯 大容量 - 示例店铺</title>
<style>
body { font-family: sans-serif; margin: 0; color: #333; }
.top { background: #ff5000; color: white; padding: 8px 16px; font-size: 18px; }
.item { display: flex; gap: 20px; padding: 16px; }
.main { width: 220px; height: 220px; background: linear-gradient(135deg, #f6d365, #fda085); border-radius: 6px; }
.thumbs { display: flex; gap: 6px; margin-top: 8px; }
.thumbs div { width: 48px; height: 48px; border-radius: 4px; }
h1 { font-size: 18px; margin: 0 0 8px; }
.price { color: #ff5000; font-size: 24px; margin: 8px 0; }
.sku span { display: inline-block; border: 1px solid #ccc; padding: 3px 10px; margin: 3px; }
</style></head>
<body>
<div class="top">示例店铺</div>
<div class="item">
  <div><div class="main"></div>
    <div class="thumbs"><div style="background:#fda085"></div><div style="background:#84fab0"></div>
      <div style="background:#8fd3f4"></div><div style="background:#cfd9df"></div></div></div>
  <div><h1>手工陶瓷马克杯 大容量 办公室咖啡杯</h1>
    <div class="price">¥ 39.00</div>
    <div class="sku">颜色分类：<span>橙色</span><span>绿色</span><span>蓝色</span><span>灰色</span></div>
    <p>月销 1200 件 · 包邮</p></div>
</div>
</body></html>)");

} // namespace

int main(int argc, char *argv[])
{
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2) {
        qWarning("usage: window_screenshot <file.png>");
        return 2;
    }

    talvesk::test::LocalHttpServer server;
    server.route(QStringLiteral("/item"), HttpResponse::html(kSamplePage));
    talvesk::test::FakeDialogs dialogs;
    talvesk::MainFormSetup setup;
    setup.dialogs = &dialogs;
    setup.homePageUrl = server.url(QStringLiteral("/item")).toString();
    setup.offTheRecord = true;
    // The window as it first opens, whatever one run before kept.
    const QTemporaryDir settings;
    setup.settingsFile = settings.filePath(QStringLiteral("talvesk.conf"));
    talvesk::MainForm window(setup);
    window.show();

    PageBrowser &browser = window.itemBrowser();
    if (!talvesk::test::waitUntil(
            [&browser] { return browser.loadState() == PageBrowser::LoadState::Finished; })) {
        qWarning("the sample page did not load");
        return 1;
    }
    window.messages().insertLine(QStringLiteral("双击查看消息"));
    // Give the engine time to paint the finished page before the picture is taken.
    QTest::qWait(1500);

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        qWarning("cannot write %s", argv[1]);
        return 1;
    }
    return 0;
}
