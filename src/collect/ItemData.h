// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace talvesk {

// Where an item page's data says its description document is.
struct DescriptionAddress
{
    bool named = false; // the data names one
    QUrl url;           // the first named address that is http(s) once resolved; empty if none is
};

// One variant of the item, as its data names it.
struct ItemVariant
{
    QString name;
    QString picture; // empty when the variant has none
};

// What today's item page says of its item in its data: the record that the page's data
// assigns to its application context, found by its shape (an object whose "item" holds an
// itemId or images), never by the route it sits under. Read as data from the scripts' text as
// the document holds them, never run, so no script of the page can change what is read.
struct ItemData
{
    bool found = false;             // the item's record is in the data
    QStringList gallery;            // item.images, in the seller's order
    QList<ItemVariant> variants;    // every variant group's values, in order
    DescriptionAddress description; // item.pcADescUrl, else descUrl, else wapDescUrl
    bool markedSimplified = false;  // feature.pcResistDetail: served without its description
    QStringList videos;             // the gallery's main videos, by address
};

// Reads the data out of the page's inline scripts. Addresses are resolved against the page's
// own, so a protocol-relative one takes its scheme. Without a record the description address is
// taken wherever the scripts hold it as data, as older pages keep it. Linear in the texts' size;
// texts beyond a bound are not read.
ItemData readItemData(const QStringList &scriptTexts, const QUrl &pageAddress);

// What inline scripts the page's data may be in: those holding one of these.
QStringList itemDataMarkers();

} // namespace talvesk
