// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/ItemData.h"
#include "collect/PictureList.h"

#include <QUrl>

namespace talvesk {

// Takes the page's data as a second witness of what today's page draws. The main list becomes
// the data's gallery, in its order, followed by any drawn picture it does not name; the colour
// list the variants' pictures, in the data's order, followed by any drawn one they do not name.
// A picture is listed once, whichever scheme or picture host names it; a colour picture keeps
// the first name given to it, the data's before the drawn one's. Lists the data names nothing
// for are left as drawn.
void addWhatTheDataNames(const ItemData &data, const QUrl &base, CollectedSet &set);

} // namespace talvesk
