// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QUrl>

namespace talvesk {

// Where an item page's data says its description document is.
struct DescriptionAddress
{
    bool named = false; // the data names one
    QUrl url;           // the first named address that is http(s) once resolved; empty if none is
};

// The description document that the page's data names: item.pcADescUrl, else descUrl, else
// wapDescUrl, first in the application context the page sets
// (__ICE_APP_CONTEXT__.loaderData.home.data.res), then anywhere in the scripts' data. The texts
// are those of the page's inline scripts as its document holds them, read as data, never run.
// Addresses are resolved against the page's own, so a protocol-relative one takes its scheme.
DescriptionAddress descriptionAddress(const QStringList &scriptTexts, const QUrl &pageAddress);

// What inline scripts the page's data may be in: those holding one of these.
QStringList descriptionAddressMarkers();

} // namespace talvesk
