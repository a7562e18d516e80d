// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ItemDataPictures.h"

#include "collect/PagePictures.h"

#include <QHash>

namespace talvesk {

namespace {

// A list built picture by picture, each once by its identity, with a name per picture.
class ListBuilder
{
public:
    // Adds the picture, or names it where it is listed without a name.
    void add(const QString &address, const QString &name = {})
    {
        if (address.isEmpty())
            return;
        const QString identity = pictureIdentity(address);
        if (const auto listed = m_slots.constFind(identity); listed != m_slots.cend()) {
            QString &known = m_names[*listed];
            if (known.isEmpty())
                known = name;
            return;
        }
        const int place = m_list.size();
        if (!m_list.append(address))
            return;
        m_slots.insert(identity, place);
        m_names.append(name);
    }

    int size() const { return m_list.size(); }

    // Replaces the list's pictures; a list that had overflowed still has.
    void moveInto(PictureList &list, QStringList *names)
    {
        const bool overflowed = list.overflowed();
        list = std::move(m_list);
        if (overflowed)
            list.markOverflowed();
        if (names)
            *names = m_names;
    }

private:
    PictureList m_list; // capped as every picture list is
    QStringList m_names;
    QHash<QString, int> m_slots;
};

} // namespace

void addWhatTheDataNames(const ItemData &data, const QUrl &base, CollectedSet &set)
{
    ListBuilder main;
    for (const QString &picture : data.gallery)
        main.add(pictureAddress({picture, {}, {}}, base));
    if (main.size() > 0) {
        for (const QString &drawn : set.mainPictures)
            main.add(drawn);
        main.moveInto(set.mainPictures, nullptr);
    }

    ListBuilder colour;
    for (const ItemVariant &variant : data.variants)
        colour.add(pictureAddress({variant.picture, {}, {}}, base), variant.name);
    if (colour.size() > 0) {
        const QStringList drawn = set.colourPictures.addresses();
        for (int slot = 0; slot < drawn.size(); ++slot)
            colour.add(drawn.at(slot), colourNameAt(set, slot));
        colour.moveInto(set.colourPictures, &set.colourNames);
    }
}

} // namespace talvesk
