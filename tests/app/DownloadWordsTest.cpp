// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadWords.h"
#include "download/FolderCreation.h"
#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using namespace talvesk;

// The progress line counts finished pictures and shows the rounded percentage, 0 of 0 as 0%.
TEST(DownloadWords, ProgressLine)
{
    EXPECT_EQ(progressLine(3, 8), QStringLiteral("图片下载进度:3/8,已完成38%"));
    EXPECT_EQ(progressLine(0, 0), QStringLiteral("图片下载进度:0/0,已完成0%"));
}

// Each reason a folder could not be made reads as it always has; the system's own words for
// any other.
TEST(DownloadWords, WhyAFolderCouldNotBeMade)
{
    using Kind = FolderFailure::Kind;
    const QList<QPair<FolderFailure, QString>> cases{
        {{Kind::MissingParent}, QStringLiteral("上级文件夹不存在")},
        {{Kind::NameTooLong}, QStringLiteral("名称过长")},
        {{Kind::NoPermission}, QStringLiteral("没有写入权限")},
        {{Kind::ParentNotFolder}, QStringLiteral("上级路径不是文件夹")},
        {{Kind::AllNamesTaken}, QStringLiteral("同名文件夹过多")},
        {{Kind::FileInTheWay}, QStringLiteral("同名文件已存在")},
        {{Kind::Other, QStringLiteral("Input/output error")}, QStringLiteral("Input/output error")},
    };
    for (const auto &[failure, text] : cases)
        EXPECT_EQ(folderFailureText(failure), text) << static_cast<int>(failure.kind);
}
