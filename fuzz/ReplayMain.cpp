// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target without libFuzzer, as every normal build's test does: each file of the seed
// corpus, then a fixed number of inputs mutated from them with a fixed seed, so a failure replays.
//
//   fuzz_replay_extraction CORPUS_DIR [RUNS]

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

// Pieces the targets' rules react to, inserted by the mutator.
const char *const kTokens[] = {"style='background: url(\"",
                               "style=\"BACKGROUND: url(",
                               "style=\"background:url(",
                               "&quot;",
                               "data-src=\"",
                               "src=\"",
                               "src=\"http:",
                               "src=\"https:",
                               "//",
                               ".jpg",
                               ".png",
                               ".gif",
                               ".bmp",
                               ".webp",
                               "_30x30.jpg",
                               "_50x50.jpg",
                               "_40x40q90.jpg",
                               "_60x60q90.jpg",
                               "\\",
                               "\n",
                               "\r\n",
                               "<",
                               ">",
                               "\"",
                               "'",
                               "&",
                               "/",
                               ":",
                               "..",
                               ".",
                               "|",
                               "*",
                               "?",
                               "<script>",
                               "\xff\x00\xd8",
                               "\xff\x00\xdc",
                               "\xff\x7f\x00",
                               "\x00"};

QByteArray mutated(QByteArray input, std::mt19937 &random)
{
    auto below = [&random](int n) {
        return n <= 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(n));
    };
    const int steps = 1 + below(8);
    for (int step = 0; step < steps; ++step) {
        const int size = static_cast<int>(input.size());
        switch (below(5)) {
        case 0: // flip a byte
            if (size > 1)
                input[1 + below(size - 1)] = static_cast<char>(random());
            break;
        case 1: { // insert a token
            const char *token = kTokens[below(static_cast<int>(std::size(kTokens)))];
            const int length = token[0] == 0 ? 1 : static_cast<int>(qstrlen(token));
            input.insert(1 + below(size), QByteArray(token, length));
            break;
        }
        case 2: // delete a range
            if (size > 1) {
                const int at = 1 + below(size - 1);
                input.remove(at, 1 + below(std::min(64, size - at)));
            }
            break;
        case 3: // repeat a range
            if (size > 1 && size < 1 << 16) {
                const int at = 1 + below(size - 1);
                const QByteArray piece = input.mid(at, 1 + below(std::min(128, size - at)));
                for (int n = below(16); n >= 0; --n)
                    input.insert(at, piece);
            }
            break;
        default: // change the reading
            if (size > 0)
                input[0] = static_cast<char>(random());
        }
    }
    return input;
}

// The input being run, written out when a check aborts so that it can join the corpus.
const QByteArray *g_current = nullptr;

void saveCurrent(int)
{
    if (g_current) {
        if (std::FILE *file = std::fopen("fuzz-failure", "wb")) {
            std::fwrite(g_current->constData(), 1, static_cast<std::size_t>(g_current->size()), file);
            std::fclose(file);
            std::fprintf(stderr, "the failing input is in ./fuzz-failure\n");
        }
    }
    std::signal(SIGABRT, SIG_DFL);
}

int run(const QByteArray &input)
{
    g_current = &input;
    return LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                                  static_cast<std::size_t>(input.size()));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20000;
    std::signal(SIGABRT, saveCurrent);
    QList<QByteArray> corpus;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            return 2;
        }
        corpus.append(file.readAll());
        run(corpus.last());
    }
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "no seed in %s\n", argv[1]);
        return 2;
    }
    std::mt19937 random(20240515u);
    for (int i = 0; i < runs; ++i)
        run(mutated(corpus[static_cast<int>(random() % static_cast<unsigned>(corpus.size()))], random));
    std::printf("%d seeds and %d mutated inputs passed\n", static_cast<int>(corpus.size()), runs);
    return 0;
}
