// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DownloadWords.h"

#include "download/DownloadText.h"
#include "download/FolderCreation.h"

namespace talvesk {

QString progressLine(int done, int total)
{
    return QStringLiteral("图片下载进度:%1/%2,已完成%3%")
        .arg(done)
        .arg(total)
        .arg(progressPercent(done, total));
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
