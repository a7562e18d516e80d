// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/PictureList.h"

#include <gtest/gtest.h>

using talvesk::countPictures;
using talvesk::PictureList;

// Before the first collect the slots hold empty text, which is not an empty-slot mark.
TEST(PictureList, StartsWithEmptyTextNotNull)
{
    PictureList list;
    EXPECT_EQ(list[0], QString());
    EXPECT_EQ(list[255], QString());
    EXPECT_EQ(countPictures(list), PictureList::kSlots);
}

// Counting stops at the first "null" and ignores what follows it.
TEST(PictureList, CountStopsAtFirstNull)
{
    PictureList list;
    list.clear();
    EXPECT_EQ(countPictures(list), 0);
    list[0] = QStringLiteral("http://a/0.jpg");
    list[1] = QStringLiteral("http://a/1.jpg");
    list[3] = QStringLiteral("http://a/3.jpg");
    EXPECT_EQ(countPictures(list), 2);
    for (int i = 0; i < PictureList::kSlots; ++i)
        list[i] = QStringLiteral("x");
    EXPECT_EQ(countPictures(list), 256);
}
