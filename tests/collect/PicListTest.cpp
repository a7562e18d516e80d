#include "collect/PicList.h"

#include <gtest/gtest.h>

using talvesk::countPicUrl;
using talvesk::PicList;

// Before the first collect the slots hold empty text, which is not an empty-slot mark.
TEST(PicList, StartsWithEmptyTextNotNull)
{
    PicList list;
    EXPECT_EQ(list[0], QString());
    EXPECT_EQ(list[255], QString());
    EXPECT_EQ(countPicUrl(list), PicList::kSlots);
}

// Counting stops at the first "null" and ignores what follows it.
TEST(PicList, CountStopsAtFirstNull)
{
    PicList list;
    list.clear();
    EXPECT_EQ(countPicUrl(list), 0);
    list[0] = QStringLiteral("http://a/0.jpg");
    list[1] = QStringLiteral("http://a/1.jpg");
    list[3] = QStringLiteral("http://a/3.jpg");
    EXPECT_EQ(countPicUrl(list), 2);
    for (int i = 0; i < PicList::kSlots; ++i)
        list[i] = QStringLiteral("x");
    EXPECT_EQ(countPicUrl(list), 256);
}
