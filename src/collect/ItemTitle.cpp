// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ItemTitle.h"

namespace talvesk {

ItemTitleResult itemTitleFromText(const std::optional<QString> &innerText)
{
    ItemTitleResult result;
    if (!innerText) {
        result.errorString = QStringLiteral("采集失败:网页没有标题(title)元素,无法取得宝贝标题！");
        return result;
    }
    result.ok = true;
    result.title = cleanFileName(*innerText);
    return result;
}

QString cleanFileName(const QString &text)
{
    QString cleaned = text;
    for (const QChar c : {u'/', u'\\', u':', u'*', u'?', u'<', u'>', u'|'})
        cleaned.remove(c, Qt::CaseSensitive);
    return cleaned;
}

} // namespace talvesk
