// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadWords.h"
#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using namespace talvesk;

// The progress line counts finished pictures and shows the rounded percentage, 0 of 0 as 0%.
TEST(DownloadWords, ProgressLine)
{
    EXPECT_EQ(progressLine(3, 8), QStringLiteral("图片下载进度:3/8,已完成38%"));
    EXPECT_EQ(progressLine(0, 0), QStringLiteral("图片下载进度:0/0,已完成0%"));
}
