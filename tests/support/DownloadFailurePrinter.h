// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Readable failure output for the download's failures in GoogleTest: include it in a test that
// compares them, or prints one beside a result (testing::PrintToString).

#include "download/FetchFailure.h"
#include "download/FolderCreation.h"

#include <ostream>

namespace talvesk {

inline void PrintTo(const FetchFailure &failure, std::ostream *os)
{
    *os << "{kind " << static_cast<int>(failure.kind) << ", code " << failure.code << ", limit "
        << failure.limitBytes << ", detail \"" << failure.detail.toStdString() << "\"}";
}

inline void PrintTo(const FolderFailure &failure, std::ostream *os)
{
    *os << "{kind " << static_cast<int>(failure.kind) << ", \"" << failure.systemMessage.toStdString()
        << "\"}";
}

} // namespace talvesk
