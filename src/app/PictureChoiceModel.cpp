// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PictureChoiceModel.h"

#include "collect/PictureList.h"

#include <algorithm>

namespace talvesk {

PictureChoiceModel::PictureChoiceModel(QObject *parent) : QObject(parent)
{
}

void PictureChoiceModel::reset(const CollectedSet &set)
{
    m_listSizes.clear();
    m_addresses.clear();
    for (const QStringList &addresses : {set.mainPictures.addresses(), set.colourPictures.addresses(),
                                         set.descriptionPictures.addresses(), set.videos}) {
        m_listSizes.append(static_cast<int>(addresses.size()));
        m_addresses.append(addresses);
    }
    m_ticked = QList<bool>(m_addresses.size(), true);
    m_anchor = -1;
    Q_EMIT changed();
}

void PictureChoiceModel::clear()
{
    m_listSizes.clear();
    m_addresses.clear();
    m_ticked.clear();
    m_anchor = -1;
    Q_EMIT changed();
}

int PictureChoiceModel::tickedCount() const
{
    return static_cast<int>(std::count(m_ticked.cbegin(), m_ticked.cend(), true));
}

PictureChoice PictureChoiceModel::choice() const
{
    PictureChoice chosen;
    chosen.video = QList<int>();
    QList<int> *lists[] = {&chosen.main, &chosen.colour, &chosen.description, &*chosen.video};
    int index = 0;
    for (int list = 0; list < m_listSizes.size(); ++list) {
        for (int slot = 0; slot < m_listSizes[list]; ++slot, ++index) {
            if (m_ticked[index])
                lists[list]->append(slot);
        }
    }
    return chosen;
}

void PictureChoiceModel::setTicked(int index, bool ticked)
{
    if (index < 0 || index >= total() || m_ticked[index] == ticked)
        return;
    m_ticked[index] = ticked;
    Q_EMIT changed();
}

void PictureChoiceModel::click(int index, bool extendRange)
{
    if (index < 0 || index >= total())
        return;
    if (!extendRange || m_anchor < 0) {
        m_anchor = index;
        m_ticked[index] = !m_ticked[index];
    } else {
        std::fill(m_ticked.begin() + std::min(m_anchor, index),
                  m_ticked.begin() + std::max(m_anchor, index) + 1, true);
    }
    Q_EMIT changed();
}

void PictureChoiceModel::setLists(const QList<int> &lists, bool ticked)
{
    int first = 0;
    for (int list = 0; list < m_listSizes.size(); ++list) {
        if (lists.contains(list))
            std::fill(m_ticked.begin() + first, m_ticked.begin() + first + m_listSizes[list], ticked);
        first += m_listSizes[list];
    }
    Q_EMIT changed();
}

} // namespace talvesk
