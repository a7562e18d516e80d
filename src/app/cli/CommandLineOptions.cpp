// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLineOptions.h"

namespace talvesk {

namespace {

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
        "                       [--pages N] [--timeout SECONDS] [--verbose]\n"
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
        "              take turns to scroll, one for every two cores; output keeps\n"
        "              the order of the addresses\n"
        "  --timeout SECONDS  time a page may take to load and scroll (default 120),\n"
        "              a wait for its turn not counted; past it the page is stopped\n"
        "              and the run goes on with the next\n"
        "  --verbose   also show the browser engine's own diagnostics\n"
        "\n"
        "Exit status: 0 all done, 1 some pictures failed, the description could not be\n"
        "read or the results could not be written, 2 usage error,\n"
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
    return options;
}

} // namespace talvesk
