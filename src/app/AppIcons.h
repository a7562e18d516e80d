// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace talvesk {

// The program's own pictures, SVG files built in as resources. Toolbar pictures are numbered
// as in the toolbar: 1 Back, 2 Forward, 3 Stop, 4 Refresh, 5 Home, 6 Search.
QIcon toolbarPicture(int number);
QIcon windowPicture();

} // namespace talvesk
