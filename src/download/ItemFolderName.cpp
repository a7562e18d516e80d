// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/ItemFolderName.h"

#include <QTextBoundaryFinder>

namespace talvesk {

namespace {

constexpr qsizetype kNameMaxBytes = 255;
constexpr qsizetype kAttemptDigits = 3; // folder creation gives up before attempt 1000

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

qsizetype utf8Size(QStringView text)
{
    return text.toUtf8().size();
}

// The longest start of name, ending at a character boundary, that takes at most maxBytes.
QString cutToBytes(const QString &name, qsizetype maxBytes)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    qsizetype fits = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        // The grapheme rules can put a boundary inside a surrogate pair (after some marks).
        if (end < name.size() && name.at(end).isLowSurrogate() && name.at(end - 1).isHighSurrogate())
            continue;
        if (utf8Size(QStringView(name).left(end)) > maxBytes)
            break;
        fits = end;
    }
    return name.left(fits);
}

} // namespace

ItemFolderName itemFolderName(const QString &title)
{
    ItemFolderName folder;
    folder.name.reserve(title.size());
    for (const QChar c : title) {
        if (!isControl(c))
            folder.name.append(c);
    }
    const qsizetype budget = kNameMaxBytes - kAttemptDigits;
    if (utf8Size(folder.name) > budget) {
        folder.name = cutToBytes(folder.name, budget);
        folder.shortened = true;
    }
    if (folder.name.isEmpty() || folder.name == QLatin1String(".") || folder.name == QLatin1String(".."))
        folder.name = QStringLiteral("_");
    return folder;
}

} // namespace talvesk
