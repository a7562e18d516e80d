// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace talvesk {

// The addresses of one kind of picture, in the page's order: at most 256. What a page holds
// beyond that is left out, and the list remembers that it was.
class PictureList
{
public:
    static constexpr int kLimit = 256;

    int size() const { return static_cast<int>(m_addresses.size()); }
    bool isEmpty() const { return m_addresses.isEmpty(); }
    bool isFull() const { return size() == kLimit; }
    const QString &at(int index) const { return m_addresses.at(index); }
    // The address at the index, or empty text beyond the end.
    QString value(int index) const { return m_addresses.value(index); }
    const QStringList &addresses() const { return m_addresses; }
    QStringList::const_iterator begin() const { return m_addresses.cbegin(); }
    QStringList::const_iterator end() const { return m_addresses.cend(); }

    // Puts the address at the index, replacing what is there, or adds it at the end when the
    // index is the size: a reader that runs over a list again rewrites it from the start.
    // False, and the list marked overflowed, when the list is full.
    bool put(int index, const QString &address);
    // Adds the address at the end; false, and the list marked overflowed, when it is full.
    bool append(const QString &address) { return put(size(), address); }

    // Empties the list and forgets an overflow.
    void clear();

    // Whether a reader since the last clear() found more addresses than the list holds.
    bool overflowed() const { return m_overflowed; }
    void markOverflowed() { m_overflowed = true; }

    friend bool operator==(const PictureList &, const PictureList &) = default;

private:
    QStringList m_addresses;
    bool m_overflowed = false;
};

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

// The pictures of the three lists together.
int countPictures(const CollectedSet &set);

} // namespace talvesk
