// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture list as tests compare it.
//
//   filled(list)    the addresses before the first empty slot
//   allNull(list)   whether every slot is empty

#include "collect/PictureList.h"

#include <QStringList>

namespace talvesk::test {

inline QStringList filled(const PictureList &list)
{
    QStringList used;
    for (int i = 0; i < PictureList::kSlots && list[i] != PictureList::nullSlot(); ++i)
        used.append(list[i]);
    return used;
}

inline bool allNull(const PictureList &list)
{
    for (int i = 0; i < PictureList::kSlots; ++i) {
        if (list[i] != PictureList::nullSlot())
            return false;
    }
    return true;
}

} // namespace talvesk::test
