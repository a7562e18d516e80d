// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/DownloadText.h"

#include <gtest/gtest.h>

using namespace talvesk;

// Percentages round to the nearest whole number with exact halves going to the even one, and
// a total of zero shows 0.
TEST(DownloadText, PercentRoundsHalfToEven)
{
    EXPECT_EQ(progressPercent(1, 8), 12);
    EXPECT_EQ(progressPercent(3, 8), 38);
    EXPECT_EQ(progressPercent(1, 3), 33);
    EXPECT_EQ(progressPercent(2, 3), 67);
    EXPECT_EQ(progressPercent(1, 200), 0); // 0.5
    EXPECT_EQ(progressPercent(3, 200), 2); // 1.5
    EXPECT_EQ(progressPercent(5, 5), 100);
    EXPECT_EQ(progressPercent(0, 0), 0);
    EXPECT_EQ(progressPercent(768, 768), 100);
}

// The last four characters end the file name; what a file name cannot hold becomes "_", so
// the tail keeps its length and slots 1 and 11 cannot meet in one name.
TEST(DownloadText, FileTailReplacesWhatANameCannotHold)
{
    EXPECT_EQ(pictureFileTail(QStringLiteral("http://h/a.jpg")), QStringLiteral(".jpg"));
    EXPECT_EQ(pictureFileTail(QStringLiteral("http://h/a.webp")), QStringLiteral("webp"));
    EXPECT_EQ(pictureFileTail(QStringLiteral("http://h/x/ab")), QStringLiteral("x_ab"));
    EXPECT_EQ(pictureFileTail(QStringLiteral("http://h/a?b:c")), QStringLiteral("_b_c"));
    EXPECT_EQ(pictureFileTail(QStringLiteral("h\\*\"<>|")), QStringLiteral("____"));
    EXPECT_EQ(pictureFileTail(QStringLiteral("a\tb\x7f")), QStringLiteral("a_b_"));
    EXPECT_EQ(pictureFileTail(QStringLiteral("ab")), QStringLiteral("ab"));
    EXPECT_NE(QStringLiteral("1") + pictureFileTail(QStringLiteral("http://h/11jpg")),
              QStringLiteral("11") + pictureFileTail(QStringLiteral("http://h//jpg")));
    // Unpaired surrogates would all reach the file system as the same replacement character.
    EXPECT_EQ(pictureFileTail(QString(QChar(0xDC01)) + QStringLiteral("abc")), QStringLiteral("_abc"));
    const QString pair = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(pictureFileTail(QStringLiteral("xx") + pair), QStringLiteral("xx") + pair);
}
