// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

namespace talvesk {

// An address as the browser reads it from markup: control characters and spaces around it
// stripped, tabs and line breaks inside it removed. Other control characters and the Unicode
// line separators left inside are percent-encoded, as the browser sends them, so that an
// address never splits a line of a listing or a message.
QString cleanedAddress(const QString &written);

// Whether the address is a valid http or https one: the only kind the program opens or
// fetches, so that a page's markup never makes it read a local file or run a script.
bool isWebAddress(const QUrl &url);

// The address a text names: the text itself, or, for a text shared from the marketplace's app
// ("【淘宝】商品名 https://e.tb.cn/h.… 点击链接直接打开"), its first http(s) address.
QString addressOfSharedText(const QString &text);

} // namespace talvesk
