// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CollectMessages.h"

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

QString CollectMessages::summary(const CollectedSet &set)
{
    const int main = set.mainPictures.size() + set.colourPictures.size();
    const int description = set.descriptionPictures.size();
    return QStringLiteral("图片采集完成,主图数:") + QString::number(main) + QStringLiteral(",描述图数:") +
           QString::number(description) + QStringLiteral(",总图数:") + QString::number(main + description) +
           QStringLiteral(",可以进行下载！");
}

namespace {

QString listCut(const QString &list)
{
    return QStringLiteral("消息提示:") + list + QStringLiteral("超过256张,只采集了前256张");
}

} // namespace

QStringList CollectMessages::notices(const CollectResult &result)
{
    QStringList notices;
    if (result.scrolled == ScrollPhase::End::DistanceLimit)
        notices << QStringLiteral("消息提示:网页持续变长,已采集前300000像素内的图片");
    else if (result.scrolled == ScrollPhase::End::TimeLimit)
        notices << QStringLiteral("消息提示:网页持续变长,已滚动5分钟");
    const CollectedSet &set = result.set;
    if (set.mainPictures.overflowed())
        notices << listCut(QStringLiteral("主图"));
    if (set.colourPictures.overflowed())
        notices << listCut(QStringLiteral("颜色图"));
    if (set.descriptionPictures.overflowed())
        notices << listCut(QStringLiteral("描述图"));
    if (result.descriptionFailure != DescriptionProblem::None)
        notices << QStringLiteral("消息提示:描述图读取失败:") +
                       descriptionProblem(result.descriptionFailure, result.timeLimitSeconds);
    if (result.descriptionCutShort != DescriptionProblem::None)
        notices << QStringLiteral("消息提示:描述图未读完:") +
                       descriptionProblem(result.descriptionCutShort, result.timeLimitSeconds);
    if (result.descriptionStopped)
        notices << QStringLiteral("消息提示:描述图读取已停止");
    if (set.simplified)
        notices << QStringLiteral(
            "消息提示:网站只给出了简化的商品页(没有描述图,主图可能不全),可稍后重新采集");
    return notices;
}

QString CollectMessages::descriptionProblem(DescriptionProblem problem, int seconds)
{
    switch (problem) {
    case DescriptionProblem::None:
        break;
    case DescriptionProblem::AddressInvalid:
        return QStringLiteral("网页数据中的描述页地址不是http或https网址");
    case DescriptionProblem::LoadFailed:
        return QStringLiteral("描述页载入失败");
    case DescriptionProblem::Gone:
        return QStringLiteral("描述页在读取过程中跳转到了别处");
    case DescriptionProblem::Unreadable:
        return QStringLiteral("无法读取描述页");
    case DescriptionProblem::Unresponsive:
        return QStringLiteral("描述页脚本无响应");
    case DescriptionProblem::Empty:
        return QStringLiteral("描述页中没有图片");
    case DescriptionProblem::TimedOut:
        return QStringLiteral("描述页未能在采集时限%1秒内读完").arg(seconds);
    case DescriptionProblem::DistanceLimit:
        return QStringLiteral("描述页持续变长,只读取了前300000像素内的图片");
    case DescriptionProblem::ScrollTimeLimit:
        return QStringLiteral("描述页持续变长,已滚动5分钟");
    }
    return QString();
}

QString CollectMessages::downloadBusy()
{
    return QStringLiteral("消息提示:图片采集正在进行,请等采集完成后再下载！");
}

QString CollectMessages::failure(const CollectResult &result)
{
    switch (result.failure) {
    case CollectFailure::None:
        break;
    case CollectFailure::Busy:
        return QStringLiteral("消息提示:图片采集正在进行,请等本次采集完成后再操作！");
    case CollectFailure::EmptyAddress:
        return QStringLiteral("消息提示:地址栏为空,请先输入产品详情页的网址再采集！");
    case CollectFailure::Stopped:
        return QStringLiteral("采集已停止");
    case CollectFailure::LoadFailed:
        return QStringLiteral("采集失败:网页载入失败或已被停止,请重新采集！");
    case CollectFailure::PageGone:
        return QStringLiteral("采集失败:采集过程中网页已跳转或重新载入,请重新采集！");
    case CollectFailure::TimeLimit:
        return QStringLiteral("采集失败:网页在%1秒内未能完成载入和滚动").arg(result.timeLimitSeconds);
    case CollectFailure::NoDocument:
        return QStringLiteral("采集失败:浏览器中没有可读取的网页！");
    case CollectFailure::NoBody:
        return QStringLiteral("采集失败:网页没有正文(body),无法滚动页面！");
    case CollectFailure::Unresponsive:
        return QStringLiteral("采集失败:网页脚本无响应");
    case CollectFailure::NoTitle:
        return QStringLiteral("采集失败:网页没有标题(title)元素,无法取得宝贝标题！");
    case CollectFailure::UnreadablePictures:
        return QStringLiteral("采集失败:无法读取网页中的图片！");
    case CollectFailure::NoPictures:
        return QStringLiteral("采集失败:网页中没有找到商品图片(不是商品详情页,或网页版式无法识别)");
    case CollectFailure::Blocked:
        return result.gate == MarketplaceGate::Kind::Login
                   ? QStringLiteral("采集失败:网站要求登录,请在浏览器中登录后重新采集")
                   : QStringLiteral("采集失败:网站要求验证,请在浏览器中完成验证后重新采集");
    }
    return QString();
}

QString CollectMessages::previewFailed(const QString &reason)
{
    return QStringLiteral("采集失败:无法生成采集结果预览页,原因:") + reason;
}

} // namespace talvesk
