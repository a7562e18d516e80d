// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

struct FetchFailure;
struct FolderFailure;

// The download's progress line: done of total pictures, and the percentage.
QString progressLine(int done, int total);

// Why a picture was not saved, as its failure line and the item folder's record say it.
QString fetchFailureText(const FetchFailure &failure);

// Why a folder could not be made, as the line naming the folder says it.
QString folderFailureText(const FolderFailure &failure);

} // namespace talvesk
