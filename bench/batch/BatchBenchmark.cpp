// Times `talvesk collect --json` over twelve sample item pages of about 5,000 px with lazily
// shown description pictures, served with 100 ms added to every response (a distant
// marketplace's round trip), one at a time and with --pages 4, through the built program.
//
// Last line: batch: A s one at a time, B s with 4 pages, R speed-up, F/E pictures
// (F and E count the pictures of both runs)

#include "support/SampleShop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using talvesk::test::SampleItem;
using talvesk::test::SampleShop;

namespace {

constexpr int kItems = 12;
constexpr int kPictures = 20;

struct BatchRun
{
    double seconds = 0;
    int pictures = 0; // description pictures found that match the expected ones
    bool ok = false;
};

BatchRun runBatch(const QStringList &addresses, const QList<SampleItem> &items, int pages)
{
    // Fresh data and cache folders: no run profits from the other's cache.
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    QProcess process;
    process.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("collect"), QStringLiteral("--json"), QStringLiteral("--pages"),
                          QString::number(pages)};
    arguments += addresses;

    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    clock.start();
    process.start(QStringLiteral(TALVESK_EXECUTABLE), arguments);
    loop.exec();

    BatchRun run;
    run.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    run.ok = process.exitCode() == 0;
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    for (int i = 0; i < kItems && i < lines.size(); ++i) {
        const QJsonArray found =
            QJsonDocument::fromJson(lines[i]).object().value(QStringLiteral("description")).toArray();
        const QStringList &expected = items[i].descriptionPictures;
        for (int n = 0; n < found.size() && n < expected.size(); ++n)
            run.pictures += found[n].toString() == expected[n] ? 1 : 0;
    }
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SampleShop shop;
    shop.server().setAddedDelay(100);

    QList<SampleItem> items;
    QStringList addresses;
    int expected = 0;
    for (int i = 0; i < kItems; ++i) {
        items.append(shop.tallItem(5000 + i, kPictures)); // one page address per item
        addresses.append(items.last().url.toString());
        expected += static_cast<int>(items.last().descriptionPictures.size());
    }

    const BatchRun single = runBatch(addresses, items, 1);
    const BatchRun four = runBatch(addresses, items, 4);
    if (!single.ok || !four.ok)
        std::fprintf(stderr, "a run failed: status not 0\n");
    std::printf("batch: %.1f s one at a time, %.1f s with 4 pages, %.2f speed-up, %d/%d pictures\n",
                single.seconds, four.seconds, single.seconds / four.seconds, single.pictures + four.pictures,
                expected * 2);
    return single.ok && four.ok ? 0 : 1;
}
