// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace talvesk {

// The item title from the innerText of the page's first title element, cleaned for use as a
// folder name; none when the page has no title element (nullopt).
std::optional<QString> itemTitleFromText(const std::optional<QString> &innerText);

// Removes every / \ : * ? < > | from the text; nothing else is touched.
QString cleanFileName(const QString &text);

} // namespace talvesk
