// SPDX-License-Identifier: GPL-3.0-or-later
// Picture file names for any addresses: a name stays inside its folder, and two slots of one
// list never share a name.

#include "FuzzInput.h"

#include "download/DownloadText.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

using talvesk::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The fields are the addresses of one list, in slot order.
    const QStringList addresses = talvesk::fuzz::fields(talvesk::fuzz::utf16Text(data, size));
    // The three lists' name prefixes.
    for (const QString &prefix :
         {QStringLiteral("描述主图"), QStringLiteral("颜色主图"), QStringLiteral("描述图")}) {
        QSet<QString> names;
        for (int slot = 0; slot < addresses.size() && slot < 256; ++slot) {
            const QString tail = talvesk::pictureFileTail(addresses[slot]);
            const QString name = prefix + QString::number(slot) + tail;
            check(!name.contains(u'/') && !name.contains(u'\\') && !name.contains(QChar(u'\0')),
                  "a file name holds no separator and no NUL", name);
            check(name != QLatin1String(".") && name != QLatin1String(".."), "a file name is no dot folder",
                  name);
            check(tail.size() <= 4, "the tail is at most four characters", tail);
            // The collect stores no address shorter than four characters; a shorter one keeps its
            // short tail, so "1" + "23" could meet "12" + "3".
            if (addresses[slot].size() >= 4) {
                check(!names.contains(name), "two slots of one list never share a name", name);
                names.insert(name);
            }
        }
    }
    return 0;
}
