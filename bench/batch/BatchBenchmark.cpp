// SPDX-License-Identifier: GPL-3.0-or-later
// Times `talvesk collect --json` over twelve sample item pages of about 5,000 px with lazily
// shown description pictures, served with 100 ms added to every response (a distant
// marketplace's round trip), one at a time and with --pages 4, through the built program.
//
// Last line: batch: A s one at a time, B s with 4 pages, R speed-up, F/E pictures
// (A and B are medians of three runs each, the modes taking turns; F and E count the
// pictures of every run)

#include "app/WaitUntil.h"
#include "support/SampleShop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
    clock.start();
    process.start(QStringLiteral(TALVESK_EXECUTABLE), arguments);
    talvesk::test::waitUntil([&] { return process.state() == QProcess::NotRunning; });

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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
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

    // A shared machine's load comes and goes: the modes take turns, and each reports the
    // median of its runs. An optional argument sets the number of rounds.
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<double> single;
    std::vector<double> four;
    int found = 0;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        for (const int pages : {1, 4}) {
            const BatchRun run = runBatch(addresses, items, pages);
            (pages == 1 ? single : four).push_back(run.seconds);
            found += run.pictures;
            ok = ok && run.ok;
            std::fprintf(stderr, "round %d, %d page(s): %.1f s, %d/%d pictures\n", round + 1, pages,
                         run.seconds, run.pictures, expected);
        }
    }
    if (!ok)
        std::fprintf(stderr, "a run failed: status not 0\n");
    const double a = median(single);
    const double b = median(four);
    std::printf("batch: %.1f s one at a time, %.1f s with 4 pages, %.2f speed-up, %d/%d pictures\n", a, b,
                a / b, found, expected * 2 * rounds);
    return ok ? 0 : 1;
}
