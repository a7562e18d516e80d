// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace talvesk {

struct PageElement
{
    QString id;
    QString innerHtml; // read only for the ids that were asked for, empty otherwise
};

// The addresses an element holds, as the markup serialises its attributes (character
// references included): empty where it has none.
struct PageImage
{
    QString source;     // src
    QString lazySource; // the first non-empty of the lazy-address attributes asked for
};

struct PageImages
{
    QUrl baseUrl;                 // what relative addresses resolve against
    QList<QList<PageImage>> sets; // per selector, the elements it matches, in document order
};

// How far a page has got with the scrolls made before a watch of it began, as the page itself
// tells (see PageDocument::scrollHandling), and its height read at the same time.
struct ScrollHandling
{
    enum class Stage {
        Waiting,    // it has begun no frame since the watch began
        Dispatched, // a frame has begun: the scroll events up to there have been dispatched
        Handled,    // the tasks their handlers queued at once have run, and a frame was drawn since
    };
    Stage stage = Stage::Waiting;
    int height = 0; // body.scrollHeight
};

// The document a browser shows at the moment it was taken. Reads are answered through a
// callback, called once, at once or later from the event loop; every read fails (nullopt or
// false) once that document is gone, e.g. because the browser has navigated elsewhere.
class PageDocument
{
public:
    template <typename T> using Reply = std::function<void(T)>;

    virtual ~PageDocument() = default;

    // body.scrollHeight in whole pixels; nullopt when there is no body.
    virtual void bodyScrollHeight(Reply<std::optional<int>> reply) = 0;

    // parentWindow.scrollBy(x, y), then body.scrollHeight as bodyScrollHeight() reads it, in
    // one round trip; nullopt when the document is gone or has no body.
    virtual void scrollByReadingHeight(int x, int y, Reply<std::optional<int>> reply) = 0;

    // With restart, begins a watch of how the page handles the scrolls made so far, replacing
    // any earlier one; either way answers how far it has got since the watch began (Handled at
    // once for a page not shown, which draws nothing), with body.scrollHeight read now. nullopt
    // when the document is gone or has no body.
    virtual void scrollHandling(bool restart, Reply<std::optional<ScrollHandling>> reply) = 0;

    // Every element with this tag name, in document order, with its id. The inner markup is
    // read, in the same batch, only of the elements whose id equals one of innerHtmlForIds.
    virtual void elementsByTagName(const QString &tagName, const QStringList &innerHtmlForIds,
                                   Reply<std::optional<QList<PageElement>>> reply) = 0;

    // What a lazy loader does for the pictures it reaches: every img inside a div whose id
    // equals divId and whose addressAttribute holds an address other than its src takes that
    // address as src. The number of pictures changed; nullopt when the script fails.
    virtual void loadLazyImages(const QString &divId, const QString &addressAttribute,
                                Reply<std::optional<int>> reply) = 0;

    // For each CSS selector, the elements it matches, in one round trip; nullopt when the
    // script fails (an invalid selector, say).
    virtual void imagesMatching(const QStringList &selectors, const QStringList &lazyAttributes,
                                Reply<std::optional<PageImages>> reply) = 0;

    // innerText of the first element with this tag name; nullopt when there is none.
    virtual void firstInnerText(const QString &tagName, Reply<std::optional<QString>> reply) = 0;

    // Appends markup to a blank document (document.write).
    virtual void write(const QString &markup, Reply<bool> reply) = 0;
};

} // namespace talvesk
