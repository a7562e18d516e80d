// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the program's event loop from main() until a condition holds; the benchmarks' only
// loop, so nothing runs nested in it.

#include <QEventLoop>
#include <QTimer>

template <typename Done> void runUntil(Done done)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(20);
    loop.exec();
}
