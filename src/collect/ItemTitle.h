// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace talvesk {

struct ItemTitleResult
{
    bool ok = false;
    QString title;       // cleaned, possibly empty
    QString errorString; // why there is no title, when !ok
};

// The item title from the innerText of the page's first title element (nullopt: the page has
// none), cleaned for use as a folder name.
ItemTitleResult itemTitleFromText(const std::optional<QString> &innerText);

// Removes every / \ : * ? < > | from the text; nothing else is touched.
QString cleanFileName(const QString &text);

} // namespace talvesk
