// Times one collect of a 20,000 px sample page whose 100 description pictures enter the
// markup only when scrolled into view, in the real browser engine, headless.
//
// Last line: collect: <seconds> s for <height> px, <found>/<expected> pictures

#include "collect/CollectCommand.h"
#include "collect/PicList.h"
#include "platform/EngineEnvironment.h"
#include "platform/MessageList.h"
#include "platform/WindowControls.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageBrowser.h"
#include "support/SampleShop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include <cstdio>

using namespace talvesk;

namespace {

constexpr int kHeight = 20000;
constexpr int kPictures = 100;

class SilentMessages final : public MessageList
{
public:
    MessageLine insertLine(const QString &) override { return 0; }
    void setLine(MessageLine, const QString &) override {}
};

class BenchWindow final : public WindowControls
{
public:
    explicit BenchWindow(const QString &address) : m_address(address) { timer.setInterval(1000); }
    QString addressText() const override { return m_address; }
    void selectTab(Tab) override {}
    void setWindowEnabled(bool) override {}
    void setTimerEnabled(bool enabled) override { enabled ? timer.start() : timer.stop(); }

    QTimer timer; // Timer1

private:
    QString m_address;
};

int found(const CollectedSet &set, const QStringList &expected)
{
    QSet<QString> collected;
    for (const PicList *list : {&set.mpicUrls, &set.colorPicUrls, &set.descPicUrls}) {
        for (int i = 0; i < countPicUrl(*list); ++i)
            collected.insert((*list)[i]);
    }
    int count = 0;
    for (const QString &address : expected)
        count += collected.contains(address) ? 1 : 0;
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    selectHeadlessPlatform();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    test::SampleShop shop;
    const test::SampleItem item = shop.tallItem(kHeight, kPictures);

    QWebEngineProfile profile;
    QWidget host;
    host.resize(1024, 768);
    QtPageBrowser browser1(&profile, &host);
    QtPageBrowser browser2(&profile, &host);
    browser1.view()->setGeometry(0, 0, 1024, 768);
    browser2.setVisible(false);
    host.show(); // a hidden page gets no scroll events and reveals nothing

    QtEventLoop loop;
    SilentMessages messages;
    CollectedSet set;
    BenchWindow window(item.url.toString());
    CollectCommand command(browser1, browser2, window, messages, loop, set);
    QObject::connect(&window.timer, &QTimer::timeout, &window.timer, [&command] { command.tick(); });

    QElapsedTimer clock;
    clock.start();
    const CollectResult result = command.run();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

    int height = 0;
    if (const auto document = browser1.document())
        height = document->bodyScrollHeight().value_or(0);
    const QStringList expected = item.mainPictures + item.colourPictures + item.descriptionPictures;
    const int foundCount = found(set, expected);
    if (!result.ok())
        std::printf("collect failed: %s\n", result.errorString.toUtf8().constData());
    std::printf("collect: %.2f s for %d px, %d/%d pictures\n", seconds, height, foundCount,
                static_cast<int>(expected.size()));
    return result.ok() && foundCount == expected.size() ? 0 : 1;
}
