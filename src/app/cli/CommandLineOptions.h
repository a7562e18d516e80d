#pragma once

#include <QString>
#include <QStringList>

namespace talvesk {

// What the command line asks for. No arguments at all means the window.
struct CommandLineOptions
{
    enum class Mode {
        Window,
        Collect,
        Help,
        Version,
        UsageError,
    };

    Mode mode = Mode::UsageError;
    QStringList addresses;
    QString saveFolder; // empty: print the collected set instead of downloading it
    bool json = false;
    int jobs = 6;
    QString error; // for UsageError: one line naming what is wrong

    static CommandLineOptions parse(const QStringList &arguments);
    static QString usage();
};

} // namespace talvesk
