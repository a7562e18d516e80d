// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadWords.h"

#include "download/DownloadText.h"
#include "download/FetchFailure.h"
#include "download/FolderCreation.h"

namespace talvesk {

namespace {

constexpr qint64 kMebibyte = 1024 * 1024;

QString declaredTypeText(const QString &type)
{
    return type.isEmpty() ? QStringLiteral("无类型") : type;
}

} // namespace

QString progressLine(int done, int total)
{
    return QStringLiteral("图片下载进度:%1/%2,已完成%3%")
        .arg(done)
        .arg(total)
        .arg(progressPercent(done, total));
}

QString fetchFailureText(const FetchFailure &failure)
{
    using Kind = FetchFailure::Kind;
    switch (failure.kind) {
    case Kind::UnsupportedAddress:
        return QStringLiteral("不支持的地址类型");
    case Kind::TooManyRedirects:
        return QStringLiteral("重定向次数过多");
    case Kind::HttpStatus:
        return QStringLiteral("HTTP %1").arg(failure.code);
    case Kind::InterimAnswer:
        return QStringLiteral("无法处理临时应答(HTTP %1)").arg(failure.code);
    case Kind::PictureTooLarge:
        return QStringLiteral("图片超过%1MB").arg(failure.limitBytes / kMebibyte);
    case Kind::VideoTooLarge:
        return QStringLiteral("视频超过%1MB").arg(failure.limitBytes / kMebibyte);
    case Kind::NotPicture:
        return QStringLiteral("不是图片(%1)").arg(declaredTypeText(failure.detail));
    case Kind::NotVideo:
        return QStringLiteral("不是视频(%1)").arg(declaredTypeText(failure.detail));
    case Kind::Empty:
        return QStringLiteral("图片内容为空");
    case Kind::FileExists:
        return QStringLiteral("同名文件已存在");
    case Kind::DiskFull:
        return QStringLiteral("磁盘空间不足");
    case Kind::CannotWrite:
        return QStringLiteral("无法写入文件:%1").arg(failure.detail);
    case Kind::CannotSave:
        return QStringLiteral("无法写入文件:保存失败");
    case Kind::TimedOut:
        return QStringLiteral("超时");
    case Kind::ConnectionCut:
        return QStringLiteral("连接中断");
    case Kind::ConnectionRefused:
        return QStringLiteral("连接被拒绝");
    case Kind::HostNotFound:
        return QStringLiteral("找不到服务器");
    case Kind::Undecodable:
        return QStringLiteral("图片数据解压失败(%1)").arg(failure.detail);
    case Kind::NetworkError:
        break;
    }
    return failure.detail.isEmpty() ? QStringLiteral("网络错误(代码%1)").arg(failure.code) : failure.detail;
}

QString folderFailureText(const FolderFailure &failure)
{
    using Kind = FolderFailure::Kind;
    switch (failure.kind) {
    case Kind::MissingParent:
        return QStringLiteral("上级文件夹不存在");
    case Kind::NameTooLong:
        return QStringLiteral("名称过长");
    case Kind::NoPermission:
        return QStringLiteral("没有写入权限");
    case Kind::ParentNotFolder:
        return QStringLiteral("上级路径不是文件夹");
    case Kind::AllNamesTaken:
        return QStringLiteral("同名文件夹过多");
    case Kind::FileInTheWay:
        return QStringLiteral("同名文件已存在");
    case Kind::Other:
        break;
    }
    return failure.systemMessage;
}

} // namespace talvesk
