// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"

#include <QString>
#include <QStringList>

namespace talvesk {

// The extraction routines: each applies its fixed pattern(s) to one element's inner markup
// and writes the address made from match k into slot k of its list, from slot 0 up. The patterns
// and rewrites work on the serialised markup; the address stored has its character references
// decoded (&amp; becomes &). Matches past slot 255 are dropped and mark the list overflowed;
// slots beyond the last match are left as they were.

// Colour swatches (30x30 thumbnails in a background style) into colourPictures; with names, each
// swatch's variant name is appended to them (the text of the span in its list item, else the
// item's title; "" where neither is).
void extractColourPictures(const QString &markup, PictureList &colourPictures,
                           QStringList *colourNames = nullptr);
// Main pictures (data-src 50x50 thumbnails) into mainPictures.
void extractMainPictures(const QString &markup, PictureList &mainPictures);
// Description pictures (src up to the first picture extension) into descriptionPictures.
void extractDescriptionPictures(const QString &markup, PictureList &descriptionPictures);
// Tmall layout: main pictures (60x60q90) into mainPictures, then colour pictures (40x40q90) into
// colourPictures.
void extractTmallPictures(const QString &markup, PictureList &mainPictures, PictureList &colourPictures,
                          QStringList *colourNames = nullptr);

} // namespace talvesk
