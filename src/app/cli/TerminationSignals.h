// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace talvesk {

// Turns SIGINT and SIGTERM into a Qt signal, so a run that is asked to stop can end in the
// event loop like any other event: abort what runs, drop its files, return its status. The
// handler only writes the signal's number to a pipe. Signals after the first change nothing:
// the stop they ask for is under way, and it takes a few milliseconds. Once this object has
// gone the signals are ignored, until the process ends. One at a time per process.
class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

    // The first signal received, 0 before any.
    int receivedSignal() const { return m_received; }
    // The exit status of a run ended by the signal: 128 plus its number, as a shell shows it.
    int exitStatus() const { return 128 + m_received; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    static void handleSignals(void (*handler)(int));
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};

} // namespace talvesk
