// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLineOptions.h"

#include <QRegularExpression>

namespace talvesk {

namespace {

// An hour between two items is longer than any batch wants; a bigger number is a typo.
constexpr double kLongestPauseSeconds = 3600;

// "--pause SECONDS" or "--pause MIN-MAX", in seconds with an optional fraction.
bool parsePause(const QString &value, CommandLineOptions &options)
{
    static const QRegularExpression form(QStringLiteral(R"(^(\d+(?:\.\d+)?)(?:-(\d+(?:\.\d+)?))?$)"));
    const QRegularExpressionMatch match = form.match(value);
    if (!match.hasMatch())
        return false;
    const double lowest = match.captured(1).toDouble();
    const double highest = match.hasCaptured(2) ? match.captured(2).toDouble() : lowest;
    if (highest < lowest || highest > kLongestPauseSeconds)
        return false;
    options.pauseMinMs = static_cast<int>(lowest * 1000);
    options.pauseMaxMs = static_cast<int>(highest * 1000);
    return true;
}

CommandLineOptions usageError(const QString &error)
{
    CommandLineOptions options;
    options.mode = CommandLineOptions::Mode::UsageError;
    options.error = error;
    return options;
}

struct NumberOption
{
    const char *name;
    int CommandLineOptions::*field;
    int lowest;
    int highest;
};

const NumberOption *numberOption(const QString &argument)
{
    static const NumberOption options[] = {
        {"--jobs", &CommandLineOptions::jobs, 1, 32},
        {"--pages", &CommandLineOptions::pages, 1, 8},
        // A day is longer than any page load; a bigger number is a typo.
        {"--timeout", &CommandLineOptions::timeoutSeconds, 1, 86400},
    };
    for (const NumberOption &option : options) {
        if (argument == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

} // namespace

QStringList CommandLineOptions::addressesOfList(const QString &text)
{
    QStringList addresses;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString address = line.trimmed();
        if (!address.isEmpty() && !address.startsWith(QLatin1Char('#')))
            addresses.append(address);
    }
    return addresses;
}

QString CommandLineOptions::usage()
{
    return QStringLiteral(
        "Usage: talvesk\n"
        "       talvesk collect [ADDRESS...] [--input FILE] [--save DIR] [--json] [--jobs N]\n"
        "                       [--pages N] [--timeout SECONDS] [--pause SECONDS|MIN-MAX]\n"
        "                       [--skip-saved] [--verbose]\n"
        "       talvesk --help | --version\n"
        "\n"
        "Without arguments, starts the window.\n"
        "\n"
        "collect   loads each item page headless, scrolls it and collects its main,\n"
        "          colour and description pictures, as the window's collect button does.\n"
        "  --save DIR  download the pictures into DIR (made if need be), as the download\n"
        "              button does, and print the item folder; without it, print the\n"
        "              pictures\n"
        "  --json      print one JSON object per address instead of a listing\n"
        "  --jobs N    pictures of one list fetched at a time, 1 to 32 (default 6)\n"
        "  --input FILE  read more addresses from FILE, one a line, after those given\n"
        "              as arguments; blank lines and lines starting with # are skipped;\n"
        "              - reads standard input\n"
        "  --pages N   collect up to N items at once, 1 to 8 (default 1); their pages\n"
        "              take turns to scroll, one for each core; output keeps\n"
        "              the order of the addresses\n"
        "  --timeout SECONDS  time a page may take to load and scroll (default 120),\n"
        "              a wait for its turn not counted; past it the page is stopped\n"
        "              and the run goes on with the next\n"
        "  --pause SECONDS|MIN-MAX  wait between the starts of two item pages: a fixed\n"
        "              time, or a random one in the range (not counted in --timeout);\n"
        "              on the marketplace keep a few seconds between items, as a batch\n"
        "              at full speed meets its checks sooner\n"
        "  --skip-saved  with --save: an item whose folder in DIR holds a talvesk.json\n"
        "              with the same address and no failed picture is not loaded; a\n"
        "              line says where it is, and it counts as done. Rerunning a stopped\n"
        "              batch with it resumes the batch\n"
        "  --verbose   also show the browser engine's own diagnostics\n"
        "\n"
        "An address may also be a text shared from the marketplace's app: its first\n"
        "http(s) address is read. With --save each item folder gets talvesk.json, a\n"
        "record of its pictures (address, file, bytes, sha256, variant name, error).\n"
        "\n"
        "Exit status: 0 all done (skipped items included), 1 some pictures failed, the\n"
        "description could not be read, or a talvesk.json or the results could not be\n"
        "written, 2 usage error,\n"
        "3 a page could not be loaded or collected, 4 a folder could not be created,\n"
        "5 the marketplace asks to log in or to pass a check (log in or pass it in the\n"
        "window: the command line uses its cookies; a batch then starts no more items),\n"
        "130 or 143 stopped by SIGINT or SIGTERM.\n");
}

QString CommandLineOptions::usageErrorText(const QString &error)
{
    return QStringLiteral("talvesk: %1\n\n").arg(error) + usage();
}

QString CommandLineOptions::noAddressError()
{
    return QStringLiteral("collect needs at least one address");
}

CommandLineOptions CommandLineOptions::parse(const QStringList &arguments)
{
    // arguments[0] is the program.
    if (arguments.size() <= 1) {
        CommandLineOptions options;
        options.mode = Mode::Window;
        return options;
    }
    const QString &first = arguments.at(1);
    if (first == QStringLiteral("--help") || first == QStringLiteral("-h")) {
        CommandLineOptions options;
        options.mode = Mode::Help;
        return arguments.size() == 2 ? options
                                     : usageError(QStringLiteral("--help takes no further arguments"));
    }
    if (first == QStringLiteral("--version")) {
        CommandLineOptions options;
        options.mode = Mode::Version;
        return arguments.size() == 2 ? options
                                     : usageError(QStringLiteral("--version takes no further arguments"));
    }
    if (first != QStringLiteral("collect"))
        return usageError(QStringLiteral("unknown command: %1").arg(first));

    CommandLineOptions options;
    options.mode = Mode::Collect;
    bool optionsEnded = false;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) {
            options.addresses.append(argument);
        } else if (argument == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (argument == QStringLiteral("--json")) {
            options.json = true;
        } else if (argument == QStringLiteral("--verbose")) {
            options.verbose = true;
        } else if (argument == QStringLiteral("--skip-saved")) {
            options.skipSaved = true;
        } else if (argument == QStringLiteral("--pause")) {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("--pause needs a value"));
            const QString value = arguments.at(++i);
            if (!parsePause(value, options))
                return usageError(
                    QStringLiteral("--pause takes SECONDS or MIN-MAX, from 0 to %1 seconds, not: %2")
                        .arg(kLongestPauseSeconds)
                        .arg(value));
        } else if (argument == QStringLiteral("--save") || argument == QStringLiteral("--input")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return usageError(QStringLiteral("%1 needs a %2")
                                      .arg(argument, argument == QStringLiteral("--save")
                                                         ? QStringLiteral("folder")
                                                         : QStringLiteral("file")));
            (argument == QStringLiteral("--save") ? options.saveFolder : options.inputFile) =
                arguments.at(++i);
        } else if (const NumberOption *number = numberOption(argument)) {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("%1 needs a value").arg(argument));
            const QString value = arguments.at(++i);
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < number->lowest || n > number->highest)
                return usageError(QStringLiteral("%1 takes a whole number from %2 to %3, not: %4")
                                      .arg(argument)
                                      .arg(number->lowest)
                                      .arg(number->highest)
                                      .arg(value));
            options.*(number->field) = n;
        } else {
            return usageError(QStringLiteral("unknown option: %1").arg(argument));
        }
    }
    if (options.addresses.isEmpty() && options.inputFile.isEmpty())
        return usageError(noAddressError());
    if (options.skipSaved && options.saveFolder.isEmpty())
        return usageError(QStringLiteral("--skip-saved needs --save"));
    return options;
}

} // namespace talvesk
