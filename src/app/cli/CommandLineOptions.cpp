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

} // namespace

QString CommandLineOptions::usage()
{
    return QStringLiteral("Usage: talvesk\n"
                          "       talvesk collect ADDRESS... [--save DIR] [--json] [--jobs N]\n"
                          "       talvesk --help | --version\n"
                          "\n"
                          "Without arguments, starts the window.\n"
                          "\n"
                          "collect   loads each item page headless, scrolls it and collects its main,\n"
                          "          colour and description pictures, as the window's collect button does.\n"
                          "  --save DIR  download the pictures into DIR, as the download button does,\n"
                          "              and print the item folder; without it, print the pictures\n"
                          "  --json      print one JSON object per address instead of a listing\n"
                          "  --jobs N    pictures of one list fetched at a time, 1 to 32 (default 6)\n"
                          "\n"
                          "Exit status: 0 all done, 1 some pictures failed, 2 usage error or --help,\n"
                          "3 a page could not be loaded or collected, 4 a folder could not be created.\n");
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
        } else if (argument == QStringLiteral("--save") || argument == QStringLiteral("--jobs")) {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("%1 needs a value").arg(argument));
            const QString value = arguments.at(++i);
            if (argument == QStringLiteral("--save")) {
                if (value.isEmpty())
                    return usageError(QStringLiteral("--save needs a folder"));
                options.saveFolder = value;
            } else {
                bool ok = false;
                options.jobs = value.toInt(&ok);
                if (!ok || options.jobs < 1 || options.jobs > 32)
                    return usageError(
                        QStringLiteral("--jobs takes a whole number from 1 to 32, not: %1").arg(value));
            }
        } else {
            return usageError(QStringLiteral("unknown option: %1").arg(argument));
        }
    }
    if (options.addresses.isEmpty())
        return usageError(QStringLiteral("collect needs at least one address"));
    return options;
}

} // namespace talvesk
