// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CollectMessages.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using talvesk::CollectFailure;
using talvesk::CollectMessages;
using talvesk::CollectResult;
using talvesk::DescriptionProblem;

// Every notice an item can carry, in the order the user reads them, with the limit that ran out.
TEST(CollectMessages, NoticesComeInTheirOrder)
{
    CollectResult result;
    result.status = CollectResult::Status::Collected;
    EXPECT_TRUE(CollectMessages::notices(result).isEmpty());

    result.scrolled = talvesk::ScrollPhase::End::TimeLimit;
    result.set.mainPictures.markOverflowed();
    result.set.descriptionPictures.markOverflowed();
    result.descriptionCutShort = DescriptionProblem::TimedOut;
    result.timeLimitSeconds = 45;
    result.descriptionStopped = true;
    result.set.simplified = true;
    EXPECT_EQ(CollectMessages::notices(result),
              QStringList({QStringLiteral("消息提示:网页持续变长,已滚动5分钟"),
                           QStringLiteral("消息提示:主图超过256张,只采集了前256张"),
                           QStringLiteral("消息提示:描述图超过256张,只采集了前256张"),
                           QStringLiteral("消息提示:描述图未读完:描述页未能在采集时限45秒内读完"),
                           QStringLiteral("消息提示:描述图读取已停止"),
                           QStringLiteral("消息提示:网站只给出了简化的商品页(没有描述图,主图可能不全),可稍后"
                                          "重新采集")}));

    result = CollectResult();
    result.scrolled = talvesk::ScrollPhase::End::DistanceLimit;
    result.descriptionFailure = DescriptionProblem::AddressInvalid;
    EXPECT_EQ(
        CollectMessages::notices(result),
        QStringList({QStringLiteral("消息提示:网页持续变长,已采集前300000像素内的图片"),
                     QStringLiteral("消息提示:描述图读取失败:网页数据中的描述页地址不是http或https网址")}));
}

// A failure names its own cause, with the time limit or the gate it carries; a failure the
// window does not know gives no empty line.
TEST(CollectMessages, FailuresSayTheirCause)
{
    CollectResult result;
    result.failure = CollectFailure::TimeLimit;
    result.timeLimitSeconds = 16;
    EXPECT_EQ(CollectMessages::failure(result), QStringLiteral("采集失败:网页在16秒内未能完成载入和滚动"));
    result.failure = CollectFailure::Blocked;
    result.gate = talvesk::MarketplaceGate::Kind::Verification;
    EXPECT_EQ(CollectMessages::failure(result),
              QStringLiteral("采集失败:网站要求验证,请在浏览器中完成验证后重新采集"));
    result.gate = talvesk::MarketplaceGate::Kind::Login;
    EXPECT_EQ(CollectMessages::failure(result),
              QStringLiteral("采集失败:网站要求登录,请在浏览器中登录后重新采集"));
    result.failure = CollectFailure::NoTitle;
    EXPECT_EQ(CollectMessages::failure(result),
              QStringLiteral("采集失败:网页没有标题(title)元素,无法取得宝贝标题！"));
    for (int failure = static_cast<int>(CollectFailure::Busy);
         failure <= static_cast<int>(CollectFailure::Blocked); ++failure) {
        result.failure = static_cast<CollectFailure>(failure);
        EXPECT_FALSE(CollectMessages::failure(result).isEmpty()) << failure;
    }
}
