// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <functional>

namespace talvesk {

struct CommandLineOptions;

// Exit statuses of the command line.
enum ExitStatus : int {
    ExitDone = 0,
    ExitPicturesFailed = 1, // also: the results could not be written
    ExitUsage = 2,
    ExitPageFailed = 3,
    ExitFolderFailed = 4,
    ExitBlocked = 5, // the marketplace asks to log in or to pass a check
};

// Runs `talvesk collect` with the same collect and download commands as the window, on a
// headless browser engine, up to options.pages items at once. Message lines go to terminal
// (the real stderr when the engine's is silenced), results to stdout in the order of the
// addresses; results that cannot be written end the run. Needs a QApplication, whose event
// loop runEventLoop runs until the batch quits it; returns the exit status, the highest of
// all items.
int runCollectCommandLine(const CommandLineOptions &options, std::FILE *terminal,
                          const std::function<void()> &runEventLoop);

} // namespace talvesk
