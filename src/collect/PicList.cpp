#include "collect/PicList.h"

namespace talvesk {

const QString &PicList::nullSlot()
{
    static const QString null = QStringLiteral("null");
    return null;
}

void PicList::clear()
{
    m_slots.fill(nullSlot());
}

int countPicUrl(const PicList &list)
{
    int count = 0;
    while (count < PicList::kSlots && list[count] != PicList::nullSlot())
        ++count;
    return count;
}

} // namespace talvesk
