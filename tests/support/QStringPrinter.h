// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Readable failure output for texts in GoogleTest: include it in a test that compares QStrings
// or QStringLists.

#include <QString>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
