// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectMessages.h"

#include "collect/PreviewPage.h"

namespace talvesk {

QString CollectMessages::progress(int seconds)
{
    return QStringLiteral("消息提示:图片采集中,估算已用时") + QString::number(seconds) +
           QStringLiteral("s，采集过程中请勿做其他操作！");
}

QString CollectMessages::summary(const PreviewCounts &counts)
{
    return QStringLiteral("图片采集完成,主图数:") + QString::number(counts.main + counts.colour) +
           QStringLiteral(",描述图数:") + QString::number(counts.description) + QStringLiteral(",总图数:") +
           QString::number(counts.main + counts.colour + counts.description) +
           QStringLiteral(",可以进行下载！");
}

QString CollectMessages::distanceLimit()
{
    return QStringLiteral("消息提示:网页持续变长,已采集前300000像素内的图片");
}

QString CollectMessages::scrollTimeLimit()
{
    return QStringLiteral("消息提示:网页持续变长,已滚动5分钟");
}

QString CollectMessages::busy()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等本次采集完成后再操作！");
}

QString CollectMessages::downloadBusy()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等采集完成后再下载！");
}

QString CollectMessages::emptyAddress()
{
    return QStringLiteral("消息提示:地址栏为空,请先输入产品详情页的网址再采集！");
}

QString CollectMessages::stopped()
{
    return QStringLiteral("采集已停止");
}

QString CollectMessages::loadFailed()
{
    return QStringLiteral("采集失败:网页载入失败或已被停止,请重新采集！");
}

QString CollectMessages::pageGone()
{
    return QStringLiteral("采集失败:采集过程中网页已跳转或重新载入,请重新采集！");
}

QString CollectMessages::timeLimit(int seconds)
{
    return QStringLiteral("采集失败:网页在%1秒内未能完成载入和滚动").arg(seconds);
}

QString CollectMessages::noDocument()
{
    return QStringLiteral("采集失败:浏览器中没有可读取的网页！");
}

QString CollectMessages::noBody()
{
    return QStringLiteral("采集失败:网页没有正文(body),无法滚动页面！");
}

QString CollectMessages::unresponsive()
{
    return QStringLiteral("采集失败:网页脚本无响应");
}

QString CollectMessages::lazyImagesUnfinished()
{
    return QStringLiteral("采集失败:无法补全描述中尚未加载的图片！");
}

QString CollectMessages::unreadableDivs()
{
    return QStringLiteral("采集失败:无法读取网页中的div元素！");
}

QString CollectMessages::unreadablePictures()
{
    return QStringLiteral("采集失败:无法读取网页中的图片！");
}

QString CollectMessages::noPictures()
{
    return QStringLiteral("采集失败:网页中没有找到商品图片(不是商品详情页,或网页版式无法识别)");
}

QString CollectMessages::previewFailed(const QString &reason)
{
    return QStringLiteral("采集失败:无法生成采集结果预览页,原因:") + reason;
}

} // namespace talvesk
