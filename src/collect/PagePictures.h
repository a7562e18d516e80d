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
// With names, the label of each element listed, in the list's order.
void fillWithPictures(const QList<PageImage> &images, const QUrl &base, PictureList &list,
                      QStringList *names = nullptr);

// The full-size address of one element's picture, as fillWithPictures lists it; empty when it
// holds none.
QString pictureAddress(const PageImage &image, const QUrl &base);

// What names one picture whatever address it is reached by: the scheme and the marketplace's
// picture host (img. or gw.alicdn.com) left out.
QString pictureIdentity(const QString &address);

} // namespace talvesk
