// SPDX-License-Identifier: GPL-3.0-or-later
// Title cleaning and the item folder's name for any page title: the name is one folder name the
// file system takes, with room for an attempt number, and comes from the title.

#include "FuzzInput.h"

#include "collect/ItemTitle.h"
#include "download/ItemFolderName.h"

#include <cstddef>
#include <cstdint>

using talvesk::fuzz::check;

namespace {

const QString kRemoved = QStringLiteral("/\\:*?<>|");

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString title = talvesk::fuzz::utf16Text(data, size);

    const QString cleaned = talvesk::cleanFileName(title);
    QString kept; // the title without the removed characters, by another road
    for (const QChar c : title) {
        if (!kRemoved.contains(c))
            kept += c;
    }
    check(cleaned == kept, "cleaning removes exactly / \\ : * ? < > |", cleaned);

    const talvesk::ItemFolderName folder = talvesk::itemFolderName(cleaned);
    const QString &name = folder.name;
    for (const QChar c : name) {
        check(!kRemoved.contains(c), "no removed character in the folder name", name);
        check(!isControl(c), "no control character in the folder name", name);
    }
    check(!name.isEmpty(), "the folder name is not empty", name);
    check(name != QLatin1String(".") && name != QLatin1String(".."), "the folder name is no dot folder",
          name);
    check(name.toUtf8().size() + 3 <= 255, "the name and a 3-digit attempt number fit 255 bytes", name);

    QString withoutControls;
    for (const QChar c : cleaned) {
        if (!isControl(c))
            withoutControls += c;
    }
    if (name != QLatin1String("_") || withoutControls.startsWith(u'_')) {
        check(withoutControls.startsWith(name), "the folder name is the start of the title", name);
        check(folder.shortened == (name != withoutControls), "shortened exactly when the name lost text",
              name);
    }
    // A cut never splits a surrogate pair (its half would reach the file system as U+FFFD).
    if (folder.shortened && !name.isEmpty() && name.back().isHighSurrogate())
        check(name.size() == withoutControls.size() || !withoutControls.at(name.size()).isLowSurrogate(),
              "the cut keeps a surrogate pair whole", name);
    return 0;
}
