// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// done × 100 / total rounded to the nearest whole number, an exact half to the even neighbour;
// 0 when total is 0.
int progressPercent(int done, int total);

// The last four characters of a picture address as they may end a file name: path separators,
// control characters, unpaired surrogates and characters that a file name cannot hold (on any
// common system) each become "_". The tail keeps its length, so two slots of one list never
// share a file name.
QString pictureFileTail(const QString &address);

} // namespace talvesk
