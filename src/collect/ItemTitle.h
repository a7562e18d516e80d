#pragma once

#include <QString>

namespace talvesk {

class PageBrowser;

struct ItemTitleResult
{
    bool ok = false;
    QString title;       // cleaned, possibly empty
    QString errorString; // why there is no title, when !ok
};

// The innerText of the page's first title element, cleaned for use as a folder name.
ItemTitleResult readItemTitle(PageBrowser &browser);

// Removes every / \ : * ? < > | from the text; nothing else is touched.
QString cleanFileName(const QString &text);

} // namespace talvesk
