// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/MarketplaceGate.h"

#include <QRegularExpression>

namespace talvesk {

namespace {

// The places in selectors() of each kind's marks.
const QStringList &loginMarks()
{
    static const QStringList marks{QStringLiteral("#fm-login-id"), QStringLiteral("#fm-login-password")};
    return marks;
}

const QStringList &verificationMarks()
{
    static const QStringList marks{QStringLiteral("#nocaptcha"), QStringLiteral("#nc_1_wrapper"),
                                   QStringLiteral("#nc_1_n1z"), QStringLiteral(".nc-container"),
                                   QStringLiteral(".baxia-dialog")};
    return marks;
}

bool isLoginHost(const QString &host)
{
    static const QStringList hosts{
        QStringLiteral("login.taobao.com"),    QStringLiteral("login.tmall.com"),
        QStringLiteral("login.m.taobao.com"),  QStringLiteral("login.m.tmall.com"),
        QStringLiteral("passport.taobao.com"), QStringLiteral("passport.tmall.com")};
    return hosts.contains(host.toLower());
}

} // namespace

QStringList MarketplaceGate::selectors()
{
    return loginMarks() + verificationMarks();
}

QStringList MarketplaceGate::phrases()
{
    // The slider's instruction, with the full-width comma the page writes and a plain one.
    return {QStringLiteral("请按住滑块，拖动到最右边"), QStringLiteral("请按住滑块,拖动到最右边")};
}

MarketplaceGate::Kind MarketplaceGate::ofAddress(const QUrl &address)
{
    const QString path = address.path();
    static const QRegularExpression punishment(QStringLiteral("(^|/)(_____tmd_____|punish)(/|$)"));
    if (punishment.match(path).hasMatch())
        return Kind::Verification;
    if (isLoginHost(address.host()) || path.endsWith(QLatin1String("/member/login.jhtml")))
        return Kind::Login;
    return Kind::None;
}

MarketplaceGate::Kind MarketplaceGate::ofPage(const QUrl &address, const ShownMarks &marks)
{
    if (const Kind kind = ofAddress(address); kind != Kind::None)
        return kind;
    const auto shown = [&marks](qsizetype from, qsizetype count) {
        for (qsizetype i = from; i < from + count; ++i) {
            if (marks.selectorsShown.value(i))
                return true;
        }
        return false;
    };
    const qsizetype logins = loginMarks().size();
    if (shown(logins, verificationMarks().size()) || marks.phrasesFound.contains(true))
        return Kind::Verification;
    if (shown(0, logins))
        return Kind::Login;
    // A page carrying either in a frame of another site (a dialog over the item, say).
    Kind framed = Kind::None;
    for (const QUrl &frame : marks.frameAddresses) {
        const Kind kind = ofAddress(frame);
        if (kind == Kind::Verification)
            return kind;
        if (kind == Kind::Login)
            framed = kind;
    }
    return framed;
}

} // namespace talvesk
