// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/ItemTitle.h"

namespace talvesk {

std::optional<QString> itemTitleFromText(const std::optional<QString> &innerText)
{
    if (!innerText)
        return std::nullopt;
    return cleanFileName(*innerText);
}

QString cleanFileName(const QString &text)
{
    QString cleaned = text;
    for (const QChar c : {u'/', u'\\', u':', u'*', u'?', u'<', u'>', u'|'})
        cleaned.remove(c, Qt::CaseSensitive);
    return cleaned;
}

} // namespace talvesk
