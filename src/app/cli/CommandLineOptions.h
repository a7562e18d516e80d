// SPDX-License-Identifier: GPL-3.0-or-later
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
    int timeoutSeconds = 120; // from the start of a page's load to the end of its scroll phase
    int pages = 1;            // items collected at once
    bool verbose = false;     // let the browser engine's own diagnostics through
    QString inputFile;        // addresses one a line, after the arguments' ones; "-" is stdin
    bool skipSaved = false;   // items whose folder under saveFolder holds them whole are not loaded
    // Between the starts of two item pages, a time drawn from this range; 0: none.
    int pauseMinMs = 0;
    int pauseMaxMs = 0;
    QString error; // for UsageError: one line naming what is wrong

    static CommandLineOptions parse(const QStringList &arguments);
    // The addresses of an address list: one a line, blank lines and "#" comments skipped.
    static QStringList addressesOfList(const QString &text);
    static QString usage();
    // What the program prints for a usage error: the error, then the usage.
    static QString usageErrorText(const QString &error);
    // The usage error of a collect that has no address, given or listed.
    static QString noAddressError();
};

} // namespace talvesk
