// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"
#include "platform/PageDocument.h"

#include <QList>
#include <QUrl>

namespace talvesk {

// Fills list with the pictures of the elements, in their order: each at its full-size address
// (cleaned, relative ones resolved against base, http(s) only), once, a lazy one at its real
// address; placeholders and the platform's own pictures left out. Past the list's slots it is
// marked overflowed.
void fillWithPictures(const QList<PageImage> &images, const QUrl &base, PictureList &list);

} // namespace talvesk
