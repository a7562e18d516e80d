// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// The download's progress line: done of total pictures, and the percentage.
QString progressLine(int done, int total);

} // namespace talvesk
