// SPDX-License-Identifier: GPL-3.0-or-later
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
    m_overflowed = false;
}

int countPictures(const PictureList &list)
{
    int count = 0;
    while (count < PictureList::kSlots && list[count] != PictureList::nullSlot())
        ++count;
    return count;
}

int countPictures(const CollectedSet &set)
{
    return countPictures(set.mainPictures) + countPictures(set.colourPictures) +
           countPictures(set.descriptionPictures);
}

QStringList filledSlots(const PictureList &list)
{
    QStringList addresses;
    const int count = countPictures(list);
    addresses.reserve(count);
    for (int i = 0; i < count; ++i)
        addresses.append(list[i]);
    return addresses;
}

QString colourNameAt(const CollectedSet &set, int slot)
{
    return set.colourNames.value(slot);
}

QStringList truncationNotices(const CollectedSet &set)
{
    const auto notice = [](const QString &list) {
        return QStringLiteral("消息提示:") + list + QStringLiteral("超过256张,只采集了前256张");
    };
    QStringList notices;
    if (set.mainPictures.overflowed())
        notices << notice(QStringLiteral("主图"));
    if (set.colourPictures.overflowed())
        notices << notice(QStringLiteral("颜色图"));
    if (set.descriptionPictures.overflowed())
        notices << notice(QStringLiteral("描述图"));
    return notices;
}

} // namespace talvesk
