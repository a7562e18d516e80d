// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainForm.h"
#include "app/MainFormCommands.h"
#include "app/ProgramVersion.h"
#include "app/QtTranslations.h"
#include "app/cli/CommandLineOptions.h"
#include "app/cli/CommandLineRun.h"
#include "platform/qt/EngineEnvironment.h"
#include "platform/qt/EngineSanitizerOptions.h"
#include "platform/qt/ProfileCopy.h"

#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

// A standard stream the caller closed would be the first descriptor the program opens, and
// the run would read its addresses from, or write its lines into, a file of its own.
void openClosedStandardStreams()
{
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) == -1 &&
            open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY) != descriptor)
            std::_Exit(talvesk::ExitUsage);
    }
}

int runApplication(int argc, char *argv[], const talvesk::CommandLineOptions &options, std::FILE *terminal)
{
    using talvesk::CommandLineOptions;

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The command line's words are ours: Qt must not read an address as one of its options.
    int qtArgc = options.mode == CommandLineOptions::Mode::Collect ? 1 : argc;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvesk"));
    // Ties the window to the installed launcher and its icon (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("talvesk"));
    talvesk::installQtChineseTranslations(app);

    if (options.mode == CommandLineOptions::Mode::Collect)
        return talvesk::runCollectCommandLine(options, terminal, [&app] { app.exec(); });

    talvesk::MainForm window;
    const talvesk::MainFormCommands commands(window);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    using talvesk::CommandLineOptions;

    openClosedStandardStreams();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineOptions options = CommandLineOptions::parse(arguments);

    std::FILE *terminal = stderr;
    switch (options.mode) {
    case CommandLineOptions::Mode::Help:
        print(stdout, CommandLineOptions::usage());
        return talvesk::ExitDone;
    case CommandLineOptions::Mode::Version:
        print(stdout, QStringLiteral("Talvesk ") + talvesk::versionLine() + QLatin1Char('\n'));
        return talvesk::ExitDone;
    case CommandLineOptions::Mode::UsageError:
        print(stderr, CommandLineOptions::usageErrorText(options.error));
        return talvesk::ExitUsage;
    case CommandLineOptions::Mode::Collect:
        talvesk::selectHeadlessPlatform();
        terminal = options.verbose ? stderr : talvesk::silenceEngineDiagnostics();
        break;
    case CommandLineOptions::Mode::Window:
        talvesk::allowEngineAsRoot();
        break;
    }

    const int status = runApplication(argc, argv, options, terminal);
    // The engine writes into a copy of the profile until it has shut down with the application.
    talvesk::ProfileCopy::removeOwn(talvesk::ProfileCopy::places());
    return status;
}
