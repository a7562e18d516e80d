// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CollectMessages.h"

#include "collect/PreviewPage.h"

namespace talvesk {

QString CollectMessages::progress(int seconds)
{
    return QStringLiteral("消息提示:图片采集中,估算已用时") + QString::number(seconds) +
           QStringLiteral("s，采集过程中请勿做其他操作！");
}

QString CollectMessages::reloadProgress(int reload, int reloads, int seconds)
{
    return QStringLiteral("消息提示:网站给出了简化的商品页,正在重新载入(%1/"
                          "%2)…估算已用时%3s，采集过程中请勿做其他操作！")
        .arg(reload)
        .arg(reloads)
        .arg(seconds);
}

QString CollectMessages::descriptionProgress(int seconds)
{
    return QStringLiteral("消息提示:正在读取描述图…估算已用时") + QString::number(seconds) +
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

QString CollectMessages::descriptionFailed(const QString &reason)
{
    return QStringLiteral("消息提示:描述图读取失败:") + reason;
}

QString CollectMessages::descriptionAddressInvalid()
{
    return QStringLiteral("网页数据中的描述页地址不是http或https网址");
}

QString CollectMessages::descriptionLoadFailed()
{
    return QStringLiteral("描述页载入失败");
}

QString CollectMessages::descriptionGone()
{
    return QStringLiteral("描述页在读取过程中跳转到了别处");
}

QString CollectMessages::descriptionUnreadable()
{
    return QStringLiteral("无法读取描述页");
}

QString CollectMessages::descriptionUnresponsive()
{
    return QStringLiteral("描述页脚本无响应");
}

QString CollectMessages::descriptionEmpty()
{
    return QStringLiteral("描述页中没有图片");
}

QString CollectMessages::descriptionTimedOut(int seconds)
{
    return QStringLiteral("描述页未能在采集时限%1秒内读完").arg(seconds);
}

QString CollectMessages::descriptionBlocked(MarketplaceGate::Kind gate)
{
    return gate == MarketplaceGate::Kind::Login ? QStringLiteral("网站要求登录")
                                                : QStringLiteral("网站要求验证");
}

QString CollectMessages::descriptionCutShort(const QString &reason)
{
    return QStringLiteral("消息提示:描述图未读完:") + reason;
}

QString CollectMessages::descriptionDistanceLimit()
{
    return QStringLiteral("描述页持续变长,只读取了前300000像素内的图片");
}

QString CollectMessages::descriptionScrollTimeLimit()
{
    return QStringLiteral("描述页持续变长,已滚动5分钟");
}

QString CollectMessages::descriptionStopped()
{
    return QStringLiteral("消息提示:描述图读取已停止");
}

QString CollectMessages::servedSimplified()
{
    return QStringLiteral("消息提示:网站只给出了简化的商品页(没有描述图,主图可能不全),可稍后重新采集");
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

QString CollectMessages::blocked(MarketplaceGate::Kind gate)
{
    return gate == MarketplaceGate::Kind::Login
               ? QStringLiteral("采集失败:网站要求登录,请在浏览器中登录后重新采集")
               : QStringLiteral("采集失败:网站要求验证,请在浏览器中完成验证后重新采集");
}

} // namespace talvesk
