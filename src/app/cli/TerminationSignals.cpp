// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace talvesk {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

int g_pipe[2] = {-1, -1};

void handleSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a signal that will be seen; nothing else is safe to do here.
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (g_pipe[0] != -1 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        std::abort(); // a second instance, or no descriptors left at start-up
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    // The handler stays for every signal: a second one, sent while the run stops, must not take
    // the default action and leave the profile copy or a partial file behind.
    handleSignals(handleSignal);
}

TerminationSignals::~TerminationSignals()
{
    // The run is over but the program is not: the engine shuts down, and then the profile
    // copy goes. A signal meanwhile is ignored rather than allowed to cut that short.
    handleSignals(SIG_IGN);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &end : g_pipe) {
        close(end);
        end = -1;
    }
}

void TerminationSignals::handleSignals(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals)
        sigaction(signalNumber, &action, nullptr);
}

void TerminationSignals::readPipe()
{
    unsigned char number = 0;
    while (read(g_pipe[0], &number, 1) == 1) {
        if (m_received != 0)
            continue;
        m_received = number;
        Q_EMIT received(m_received);
    }
}

} // namespace talvesk
