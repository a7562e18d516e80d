// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/PictureList.h"

namespace talvesk {

bool PictureList::put(int index, const QString &address)
{
    Q_ASSERT(index >= 0 && index <= size());
    if (index < size()) {
        m_addresses[index] = address;
        return true;
    }
    if (isFull()) {
        m_overflowed = true;
        return false;
    }
    m_addresses.append(address);
    return true;
}

void PictureList::clear()
{
    m_addresses.clear();
    m_overflowed = false;
}

int countPictures(const CollectedSet &set)
{
    return set.mainPictures.size() + set.colourPictures.size() + set.descriptionPictures.size();
}

QString colourNameAt(const CollectedSet &set, int slot)
{
    return set.colourNames.value(slot);
}

} // namespace talvesk
