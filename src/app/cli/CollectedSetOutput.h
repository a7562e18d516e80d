// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"

#include <QString>

namespace talvesk {

// One JSON object on one line: {"address", "title", "main", "colour", "description"}, the lists
// in slot order without empty slots.
QString collectedSetJson(const QString &address, const CollectedSet &set);

// The same as a listing for people.
QString collectedSetListing(const QString &address, const CollectedSet &set);

} // namespace talvesk
