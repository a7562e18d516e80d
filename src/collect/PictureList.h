// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

namespace talvesk {

// A fixed list of 256 picture addresses. "null" marks an empty slot; a collect sets every
// slot to it and fills from slot 0 without gaps. Before the first collect slots are empty text.
class PictureList
{
public:
    static constexpr int kSlots = 256;

    static const QString &nullSlot();

    const QString &operator[](int index) const { return m_slots[static_cast<std::size_t>(index)]; }
    QString &operator[](int index) { return m_slots[static_cast<std::size_t>(index)]; }

    // Sets every slot to "null" and forgets an overflow.
    void clear();

    // Whether a fill since the last clear() found more addresses than there are slots.
    bool overflowed() const { return m_overflowed; }
    void markOverflowed() { m_overflowed = true; }

private:
    std::array<QString, kSlots> m_slots;
    bool m_overflowed = false;
};

// The number of slots before the first "null", testing slots 0 to 255; 256 when none is.
int countPictures(const PictureList &list);
// The addresses in those slots, in slot order.
QStringList filledSlots(const PictureList &list);

// What a collect leaves behind for the preview and the download.
struct CollectedSet
{
    PictureList mainPictures;        // main pictures
    PictureList colourPictures;      // colour (variant) pictures
    PictureList descriptionPictures; // description pictures
    QString itemTitle;               // the page title, cleaned for use as a folder name
    // The names of the colour pictures' variants, in their order; "" where one is not known.
    QStringList colourNames;
    bool simplified = false; // the marketplace served its simplified page
    QStringList videos;      // the main videos the page's data names, by address
    // Where and when it was collected, for the item folder's record: the address as given, the
    // page's address once loaded (after redirects), the time in UTC.
    QString address;
    QString pageAddress;
    QDateTime collectedAt;
};

// The name of the colour picture in this slot; "" where none is known.
QString colourNameAt(const CollectedSet &set, int slot);

// The pictures of the three lists together, as countPictures counts them.
int countPictures(const CollectedSet &set);

// One message line for each list of the set that overflowed, main, colour, description in turn.
QStringList truncationNotices(const CollectedSet &set);

} // namespace talvesk
