// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// Every path the download builds goes through here, so all use the platform's separator and a
// folder that already ends in one (a root) does not get a second.
QString joinPath(const QString &folder, const QString &name);

// The path with native separators and without a trailing one (a root keeps its own).
QString withoutTrailingSeparator(const QString &path);

} // namespace talvesk
