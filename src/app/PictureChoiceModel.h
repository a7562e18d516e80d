// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "download/DownloadCommand.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace talvesk {

struct CollectedSet;

// The pictures of the collected set the user has ticked: the one place the choice lives. The
// preview's boxes and the tool bar's count show it, the boxes, clicks and menus change it, and
// 下载 saves it. Pictures are numbered across the lists in preview order: main, colour,
// description, then the main videos.
class PictureChoiceModel final : public QObject
{
    Q_OBJECT

public:
    explicit PictureChoiceModel(QObject *parent = nullptr);

    // A new set: every picture ticked.
    void reset(const CollectedSet &set);
    // No set any more.
    void clear();

    int total() const { return static_cast<int>(m_ticked.size()); }
    int tickedCount() const;
    bool isTicked(int index) const { return m_ticked.value(index); }
    const QList<bool> &ticks() const { return m_ticked; }
    // The number of pictures of each list, in preview order.
    QList<int> listSizes() const { return m_listSizes; }
    // The address of the picture, as collected; empty for an index out of range.
    QString address(int index) const { return m_addresses.value(index); }
    // The ticked slots of each list, for the download.
    PictureChoice choice() const;

    void setTicked(int index, bool ticked);
    // A plain click toggles the picture and marks where a range starts; a shift-click ticks
    // every picture from there to this one.
    void click(int index, bool extendRange);
    // Ticks or clears whole lists (0 main, 1 colour, 2 description, 3 videos).
    void setLists(const QList<int> &lists, bool ticked);

Q_SIGNALS:
    void changed();

private:
    QList<int> m_listSizes;
    QStringList m_addresses;
    QList<bool> m_ticked;
    int m_anchor = -1;
};

} // namespace talvesk
