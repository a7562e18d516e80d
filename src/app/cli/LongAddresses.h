// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// The longest address the browser engine loads, in characters of its encoded form.
constexpr qsizetype kEngineAddressLimit = 2 * 1024 * 1024;

// Whether the engine would refuse the address, counted as it counts: the encoded form of
// what the address box loads for this text, escapes included.
bool isTooLongForEngine(const QString &address);

// An address as the terminal shows it: its first 200 characters, then "…", when longer.
QString addressForTerminal(const QString &address);

// Whether the text holds a control character (NUL, a tab, an escape …): no address does.
bool holdsControlCharacter(const QString &text);

} // namespace talvesk
