// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iterator>

namespace talvesk {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[2];

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

    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &end : g_pipe) {
        close(end);
        end = -1;
    }
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
