// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppIcons.h"

#include <QString>

namespace talvesk {

QIcon toolbarPicture(int number)
{
    static const char16_t *const names[] = {u"back", u"forward", u"stop", u"refresh", u"home", u"search"};
    if (number < 1 || number > 6)
        return {};
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromUtf16(names[number - 1])));
}

QIcon windowPicture()
{
    return QIcon(QStringLiteral(":/icons/talvesk.svg"));
}

} // namespace talvesk
