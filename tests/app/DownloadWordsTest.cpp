// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadWords.h"
#include "download/FetchFailure.h"
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

// Each reason a picture was not saved reads as it always has, with its detail in place; the
// network layer's own text is passed through, and its error number said when it has none.
TEST(DownloadWords, WhyAPictureWasNotSaved)
{
    using Kind = FetchFailure::Kind;
    const QList<QPair<FetchFailure, QString>> cases{
        {{.kind = Kind::UnsupportedAddress}, QStringLiteral("不支持的地址类型")},
        {{.kind = Kind::TooManyRedirects}, QStringLiteral("重定向次数过多")},
        {{.kind = Kind::HttpStatus, .code = 404}, QStringLiteral("HTTP 404")},
        {{.kind = Kind::InterimAnswer, .code = 103}, QStringLiteral("无法处理临时应答(HTTP 103)")},
        {{.kind = Kind::PictureTooLarge, .limitBytes = 256LL * 1024 * 1024}, QStringLiteral("图片超过256MB")},
        {{.kind = Kind::VideoTooLarge, .limitBytes = 3 * 1024 * 1024}, QStringLiteral("视频超过3MB")},
        {{.kind = Kind::NotPicture, .detail = QStringLiteral("text/html")},
         QStringLiteral("不是图片(text/html)")},
        {{.kind = Kind::NotPicture}, QStringLiteral("不是图片(无类型)")},
        {{.kind = Kind::NotVideo, .detail = QStringLiteral("video/mp4")},
         QStringLiteral("不是视频(video/mp4)")},
        {{.kind = Kind::Empty}, QStringLiteral("图片内容为空")},
        {{.kind = Kind::FileExists}, QStringLiteral("同名文件已存在")},
        {{.kind = Kind::DiskFull}, QStringLiteral("磁盘空间不足")},
        {{.kind = Kind::CannotWrite, .detail = QStringLiteral("No such file or directory")},
         QStringLiteral("无法写入文件:No such file or directory")},
        {{.kind = Kind::CannotSave}, QStringLiteral("无法写入文件:保存失败")},
        {{.kind = Kind::TimedOut}, QStringLiteral("超时")},
        {{.kind = Kind::ConnectionCut}, QStringLiteral("连接中断")},
        {{.kind = Kind::ConnectionRefused}, QStringLiteral("连接被拒绝")},
        {{.kind = Kind::HostNotFound}, QStringLiteral("找不到服务器")},
        {{.kind = Kind::Undecodable, .detail = QStringLiteral("gzip")},
         QStringLiteral("图片数据解压失败(gzip)")},
        {{.kind = Kind::NetworkError, .code = 99, .detail = QStringLiteral("Network unreachable")},
         QStringLiteral("Network unreachable")},
        {{.kind = Kind::NetworkError, .code = 99}, QStringLiteral("网络错误(代码99)")},
    };
    for (const auto &[failure, text] : cases)
        EXPECT_EQ(fetchFailureText(failure), text) << static_cast<int>(failure.kind);
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
