// SPDX-License-Identifier: GPL-3.0-or-later
// Timing of the four extraction routines on realistic and adversarial markup.
// Not a test. Prints its figures; the last line is
//   extract: <MB/s realistic> MB/s realistic, <time(8 MiB)/time(1 MiB)> linear ratio, <MB/s adversarial> MB/s
//   adversarial
// MB are 10^6 bytes of markup in UTF-8; a rate is the markup size over the time that all four
// routines together take on it (so each routine alone runs at about four times that rate).
// Options: --no-64 skips the 64 MiB single line.

#include "collect/Extraction.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

using namespace talvesk;

namespace {

struct Lists
{
    PictureList main, colour, desc;
};

// All four routines once over the markup, as on a page whose four blocks all held it.
double runAll(const QString &markup, Lists &lists)
{
    const auto start = std::chrono::steady_clock::now();
    extractMainPictures(markup, lists.main);
    extractColourPictures(markup, lists.colour);
    extractTmallPictures(markup, lists.main, lists.colour);
    extractDescriptionPictures(markup, lists.desc);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double bestOf(int runs, const QString &markup, Lists &lists)
{
    double best = 1e100;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, runAll(markup, lists));
    return best;
}

double utf8Megabytes(const QString &markup)
{
    return static_cast<double>(markup.toUtf8().size()) / 1e6;
}

// A description block of about `bytes` UTF-8 bytes: paragraphs of Chinese and Latin text,
// tables, links and many img tags in every quoting (double, single, none, upper case,
// lazy-load attributes), over many lines. `everyNth` of the picture groups holds a tag that the
// rules match (others are near misses), so that `everyNth` = 1 gives a dense block.
QString realistic(std::size_t bytes, int everyNth, std::mt19937 &rng)
{
    static const char *const words[] = {"纯棉",   "宽松", "显瘦",   "夏季", "新款",    "连衣裙",
                                        "面料",   "舒适", "透气",   "尺码", "建议",    "洗涤",
                                        "cotton", "size", "M/L/XL", "100%", "（包邮）"};
    std::uniform_int_distribution<int> word(0, static_cast<int>(std::size(words)) - 1);
    std::uniform_int_distribution<int> id(100000, 999999);
    std::uniform_int_distribution<int> ext(0, 4);
    static const char *const exts[] = {"jpg", "png", "gif", "webp", "JPG"};
    QString out;
    out.reserve(static_cast<qsizetype>(bytes));
    std::size_t approx = 0;
    int group = 0;
    while (approx < bytes) {
        QString para = QStringLiteral("<p style=\"font-size:14px;color:#333;line-height:1.8\">");
        for (int w = 0; w < 40; ++w)
            para += QString::fromUtf8(words[word(rng)]) + QLatin1Char(w % 7 == 6 ? '\n' : ' ');
        para += QStringLiteral("</p>\n");
        const QString host =
            QStringLiteral("img.alicdn.com/imgextra/i%1/22%2/O1CN01").arg(group % 4 + 1).arg(id(rng));
        QString pics;
        // Near misses: single quotes, no quotes, lazy-load attributes, other extensions.
        pics += QStringLiteral(
                    "<img class=\"lazy\" data-ks-lazyload='//%1a_!!0-item_pic.jpg' src='https://assets."
                    "alicdn.com/s.gif' width=750>\n")
                    .arg(host);
        pics += QStringLiteral("<img src=//%1b_!!0.%2 align=absmiddle style=\"max-width:750px\">\n")
                    .arg(host, QLatin1String(exts[ext(rng)]));
        pics +=
            QStringLiteral("<img src=\"data:image/jpeg;base64,/9j/4AAQSkZJRgABAQAAAQABAAD\" alt=\"占位\">\n");
        pics +=
            QStringLiteral("<a href=\"//detail.tmall.com/item.htm?id=%1&amp;spm=a1z10.3\" target=\"_blank\">"
                           "查看详情 >></a>\n")
                .arg(id(rng));
        pics += QStringLiteral("<img src=\"//%1c_!!0.jpeg\" style=\"display:block\">\n").arg(host);
        if (group % everyNth == 0) {
            pics += QStringLiteral("<IMG SRC=\"https://%1d_!!0.%2\" width=750 height=auto>\n")
                        .arg(host, QLatin1String(exts[ext(rng)]));
            if (group % (everyNth * 8) == 0)
                pics += QStringLiteral(
                            "<li><a href=\"#\" style='background: url(\"//%1e.jpg_30x30.jpg\") center "
                            "no-repeat;'><span>颜色</span></a></li>\n<img data-src=\"//%1f.jpg_50x50.jpg\">"
                            "<img src=\"//%1g.jpg_60x60q90.jpg\"><a style=\"BACKGROUND: url(//%1h.jpg_40x40"
                            "q90.jpg)\">\n")
                            .arg(host);
        }
        const QString table =
            QStringLiteral("<table border=0 cellpadding=0><tr><td>规格</td><td>参数 %1</td></tr>"
                           "<tr><td>产地</td><td>浙江</td></tr></table>\n")
                .arg(id(rng));
        const QString chunk = para + pics + table;
        approx += static_cast<std::size_t>(chunk.toUtf8().size());
        out += chunk;
        ++group;
    }
    return out;
}

// One line of openings of every rule that never close (near-closings only, no picture
// extension), `chars` code units long.
QString adversarial(qsizetype chars)
{
    const QString unit =
        QStringLiteral("src=\"//data-src=\"//style='background style=\"BACKGROUND SRC=\"https://"
                       ".jp .jpeg_50x50 _30x30 .jpe_60x60q90 _40x40q90 .we .pn .gi .bm .JPEG ");
    QString out;
    out.reserve(chars);
    while (out.size() + unit.size() <= chars)
        out += unit;
    while (out.size() < chars)
        out += QLatin1Char('x');
    return out;
}

// Each routine alone, best of `runs`, in ms.
void perRoutine(const char *name, const QString &markup, Lists &lists)
{
    const auto time = [&](auto &&call) {
        double best = 1e100;
        for (int i = 0; i < 7; ++i) {
            const auto start = std::chrono::steady_clock::now();
            call();
            best = std::min(best,
                            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best * 1e3;
    };
    std::printf("  %s per routine (ms): extractColourPictures %.3f, extractMainPictures %.3f, "
                "extractDescriptionPictures %.3f, extractTmallPictures %.3f\n",
                name, time([&] { extractColourPictures(markup, lists.colour); }),
                time([&] { extractMainPictures(markup, lists.main); }),
                time([&] { extractDescriptionPictures(markup, lists.desc); }),
                time([&] { extractTmallPictures(markup, lists.main, lists.colour); }));
}

int filled(const PictureList &list)
{
    return list.size();
}

} // namespace

int main(int argc, char **argv)
{
    bool run64 = true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-64") == 0)
            run64 = false;

    std::mt19937 rng(7);
    Lists lists;
    lists.main.clear();
    lists.colour.clear();
    lists.desc.clear();

    // Realistic: sparse (each rule under 256 matches, so the whole block is searched) and
    // dense (a matching picture in every group: the search ends at the 256th match).
    const QString sparse = realistic(2'000'000, 12, rng);
    const double sparseMb = utf8Megabytes(sparse);
    const double sparseTime = bestOf(15, sparse, lists);
    std::printf("realistic %.2f MB (%lld code units): %.3f ms, %.0f MB/s; slots filled: main %d, colour %d, "
                "desc %d\n",
                sparseMb, static_cast<long long>(sparse.size()), sparseTime * 1e3, sparseMb / sparseTime,
                filled(lists.main), filled(lists.colour), filled(lists.desc));
    perRoutine("realistic", sparse, lists);
    const QString dense = realistic(2'000'000, 1, rng);
    const double denseMb = utf8Megabytes(dense);
    const double denseTime = bestOf(15, dense, lists);
    std::printf("realistic dense %.2f MB: %.3f ms, %.0f MB/s (stops at slot 255)\n", denseMb, denseTime * 1e3,
                denseMb / denseTime);

    // Adversarial single lines of 1, 2, 4 and 8 MiB, measured in interleaved rounds so that
    // a busy machine slows all sizes alike; the best round of each size counts.
    QString lines[4];
    double times[4] = {1e100, 1e100, 1e100, 1e100};
    for (int i = 0; i < 4; ++i)
        lines[i] = adversarial(qsizetype(1) << (20 + i));
    for (int round = 0; round < 9; ++round)
        for (int i = 0; i < 4; ++i)
            times[i] = std::min(times[i], runAll(lines[i], lists));
    for (int i = 0; i < 4; ++i)
        std::printf("adversarial %d MiB: %.3f ms, %.0f MB/s\n", 1 << i, times[i] * 1e3,
                    static_cast<double>(lines[i].size()) / 1e6 / times[i]);
    perRoutine("adversarial 8 MiB", lines[3], lists);
    const double ratio = times[3] / times[0];
    const double adversarialRate = static_cast<double>(qsizetype(8) << 20) / 1e6 / times[3];

    if (run64) {
        const QString line = adversarial(qsizetype(64) << 20);
        const double t = bestOf(1, line, lists);
        std::printf("adversarial 64 MiB: %.3f ms, %.0f MB/s, finished\n", t * 1e3,
                    static_cast<double>(line.size()) / 1e6 / t);
    }

    std::printf("extract: %.0f MB/s realistic, %.2f linear ratio, %.0f MB/s adversarial\n",
                sparseMb / sparseTime, ratio, adversarialRate);
    return 0;
}
