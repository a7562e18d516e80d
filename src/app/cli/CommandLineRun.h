#pragma once

namespace talvesk {

struct CommandLineOptions;

// Exit statuses of the command line.
enum ExitStatus : int {
    ExitDone = 0,
    ExitPicturesFailed = 1,
    ExitUsage = 2,
    ExitPageFailed = 3,
    ExitFolderFailed = 4,
};

// Runs `talvesk collect` with the same collect and download commands as the window, on a
// headless browser engine. Needs a QApplication; returns the exit status.
int runCollectCommandLine(const CommandLineOptions &options);

} // namespace talvesk
