#include "collect/PictureList.h"

namespace talvesk {

const QString &PictureList::nullSlot()
{
    static const QString null = QStringLiteral("null");
    return null;
}

void PictureList::clear()
{
    m_slots.fill(nullSlot());
}

int countPictures(const PictureList &list)
{
    int count = 0;
    while (count < PictureList::kSlots && list[count] != PictureList::nullSlot())
        ++count;
    return count;
}

} // namespace talvesk
