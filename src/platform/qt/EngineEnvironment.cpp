// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/EngineEnvironment.h"

#include <QByteArray>
#include <QtGlobal>

#include <QString>

#include <fcntl.h>
#include <unistd.h>

namespace talvesk {

void allowEngineAsRoot()
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
}

void selectHeadlessPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    // Nobody sees these pages, so there is no flash between two pages of one site to hide: the
    // engine's hold on a new page's first frames would only keep the scroll phase waiting for
    // them, 50 to 100 ms an item.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                QByteArrayLiteral("--disable-gpu --disable-background-networking "
                                  "--disable-features=PaintHolding"));
    allowEngineAsRoot();
}

namespace {

std::FILE *g_terminal = stderr;

void writeErrorsOnly(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), g_terminal);
    std::fflush(g_terminal);
}

} // namespace

std::FILE *silenceEngineDiagnostics()
{
    const int terminal = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (terminal < 0 || nowhere < 0)
        return stderr; // nothing silenced, nothing lost
    fcntl(terminal, F_SETFD, FD_CLOEXEC);
    std::FILE *stream = fdopen(terminal, "w");
    if (!stream)
        return stderr;
    std::fflush(stderr);
    dup2(nowhere, STDERR_FILENO);
    close(nowhere);
    g_terminal = stream;
    qInstallMessageHandler(writeErrorsOnly);
    return stream;
}

} // namespace talvesk
