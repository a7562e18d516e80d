#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace talvesk {

struct PageElement
{
    QString id;
    QString innerHtml; // read only for the ids that were asked for, empty otherwise
};

// The document a browser shows at the moment it was taken. Every read fails (nullopt or
// false) once that document is gone, e.g. because the browser has navigated elsewhere.
class PageDocument
{
public:
    virtual ~PageDocument() = default;

    // body.scrollHeight in whole pixels; nullopt when there is no body.
    virtual std::optional<int> bodyScrollHeight() = 0;

    // parentWindow.scrollBy(x, y), then body.scrollHeight as bodyScrollHeight() reads it, in
    // one round trip; nullopt when the document is gone or has no body.
    virtual std::optional<int> scrollByReadingHeight(int x, int y) = 0;

    // Every element with this tag name, in document order, with its id. The inner markup is
    // read, in the same batch, only of the elements whose id equals one of innerHtmlForIds.
    virtual std::optional<QList<PageElement>> elementsByTagName(const QString &tagName,
                                                                const QStringList &innerHtmlForIds) = 0;

    // What a lazy loader does for the pictures it reaches: every img inside a div whose id
    // equals divId and whose addressAttribute holds an address other than its src takes that
    // address as src. The number of pictures changed; nullopt when the script fails.
    virtual std::optional<int> loadLazyImages(const QString &divId, const QString &addressAttribute) = 0;

    // innerText of the first element with this tag name; nullopt when there is none.
    virtual std::optional<QString> firstInnerText(const QString &tagName) = 0;

    // Appends markup to a blank document (document.write).
    virtual bool write(const QString &markup) = 0;
};

} // namespace talvesk
