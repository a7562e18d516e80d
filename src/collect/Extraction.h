#pragma once

#include "collect/PicList.h"

#include <QString>

namespace talvesk {

// The extraction routines: each applies its fixed pattern(s) to one element's inner markup
// and writes the address made from match k into slot k of its list, from slot 0 up.
// Matches past slot 255 are dropped; slots beyond the last match are left as they were.

// Colour swatches (30x30 thumbnails in a background style) into colorPicUrls.
void regMpicUrl(const QString &txts, PicList &colorPicUrls);
// Main pictures (data-src 50x50 thumbnails) into mpicUrls.
void regMpicUrl1(const QString &txts, PicList &mpicUrls);
// Description pictures (src up to the first picture extension) into descPicUrls.
void regPrePicUrl(const QString &txts, PicList &descPicUrls);
// Tmall layout: main pictures (60x60q90) into mpicUrls, then colour pictures (40x40q90) into colorPicUrls.
void regtmall(const QString &txts, PicList &mpicUrls, PicList &colorPicUrls);

} // namespace talvesk
