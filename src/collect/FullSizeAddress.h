// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// The address of the full-size picture behind a picture address as a page writes it: its
// character references decoded, a protocol-relative address made "https:", and a thumbnail's
// size suffix cut off. The suffix is everything from the "_" that directly follows the
// picture's extension in the file name ("x_!!1.jpg_q50.jpg_.webp" becomes "x_!!1.jpg"); host
// and path are kept as written. An address without such a suffix keeps its whole name.
QString fullSizeAddress(const QString &written);

} // namespace talvesk
