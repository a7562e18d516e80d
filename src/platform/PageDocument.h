// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <utility>

namespace talvesk {

struct PageElement
{
    QString id;
    QString innerHtml;
};

// The addresses an element holds, as the markup serialises its attributes (character
// references included): empty where it has none.
struct PageImage
{
    QString source;     // src
    QString lazySource; // the first non-empty of the lazy-address attributes asked for
    QString label;      // what names it, where the query asks for labels
};

struct PageImages
{
    QUrl baseUrl;                 // what relative addresses resolve against
    QList<QList<PageImage>> sets; // per selector, the elements it matches, in document order
};

// What one read of an item page asks for.
struct ItemPageQuery
{
    // Divs whose id attribute equals one of these are read with their inner markup.
    QStringList blockIds;
    // Before that, every img inside a div of id lazyBlockId whose lazyBlockAttribute holds
    // an address other than its src takes that address as src, as the page's loader would.
    QString lazyBlockId;
    QString lazyBlockAttribute;
    // Per selector, the elements it matches, with these attributes as their lazy address.
    QStringList selectors;
    QStringList lazyAttributes;
    // An element's label: in its closest ancestor matching labelContainers, the title of the
    // first element matching labelElements, else that element's text, else the ancestor's
    // title.
    QString labelContainers;
    QString labelElements;
};

struct ItemPageReading
{
    QList<PageElement> blocks; // the divs of blockIds, in document order
    PageImages images;         // per selector of the query
};

// A page scrolled by a script: its height and where it is now scrolled to, read together.
struct ScrolledPage
{
    int height = 0;   // body.scrollHeight
    int position = 0; // scrollY
};

// What a page shows of a few marks, in the page and in the frames it can reach.
struct ShownMarks
{
    QList<bool> selectorsShown; // per selector: an element that matches is rendered
    QList<bool> phrasesFound;   // per phrase: the text holds it
    QList<QUrl> frameAddresses; // of the frames a person could see, at any depth
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

// Why a read of a document gave nothing.
enum class ReadFailure {
    Failed,       // the script failed, or the page holds no such thing (no body, no title)
    Gone,         // the document went: the browser navigated elsewhere, or went itself
    Unresponsive, // the page gave no answer in time: a script of its own keeps it busy
};

// What a read of a document answers: its value, or why there is none.
template <typename T> class PageAnswer
{
public:
    PageAnswer(ReadFailure failure = ReadFailure::Gone) : m_failure(failure) {}
    PageAnswer(T value) : m_value(std::move(value)) {}

    explicit operator bool() const { return m_value.has_value(); }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    const std::optional<T> &value() const { return m_value; }
    // Meaningful only without a value.
    ReadFailure failure() const { return m_failure; }

private:
    std::optional<T> m_value;
    ReadFailure m_failure = ReadFailure::Failed;
};

// The document a browser shows at the moment it was taken. Reads are answered through a
// callback, called once, later from the event loop; every read fails (Gone, or false) once
// that document is gone, e.g. because the browser has navigated elsewhere.
class PageDocument
{
public:
    template <typename T> using Reply = std::function<void(PageAnswer<T>)>;

    virtual ~PageDocument() = default;

    // Scrolls to the top, then reads body.scrollHeight in whole pixels (Failed when there is
    // no body), in one round trip: a page reloaded where it was shown comes back scrolled to
    // where it was.
    virtual void scrollToTopReadingHeight(Reply<int> reply) = 0;

    // parentWindow.scrollBy(x, y), then body.scrollHeight as above and
    // the position scrolled to, in one round trip.
    virtual void scrollByReadingHeight(int x, int y, Reply<ScrolledPage> reply) = 0;

    // With restart, begins a watch of how the page handles the scrolls made so far, replacing
    // any earlier one; either way answers how far it has got since the watch began (Handled at
    // once for a page not shown, which draws nothing), with body.scrollHeight read now.
    virtual void scrollHandling(bool restart, Reply<ScrollHandling> reply) = 0;

    // The classic blocks and today's areas of an item page, in one round trip, whatever the
    // page's size; Failed when the script fails (an invalid selector, say).
    virtual void readItemPage(const ItemPageQuery &query, Reply<ItemPageReading> reply) = 0;

    // Every img the page renders (not hidden, not inside something hidden), in document
    // order.
    virtual void renderedImages(const QStringList &lazyAttributes, Reply<PageImages> reply) = 0;

    // Which of the selectors match an element shown (rendered, with an area), which phrases the
    // shown text holds, and which frames a person could see (rendered, with an area, within the page); frames
    // of other origins are seen by their address only.
    virtual void shownMarks(const QStringList &selectors, const QStringList &phrases,
                            Reply<ShownMarks> reply) = 0;

    // The text of every inline script (one without src) that holds one of the markers, as the
    // document holds it: what the server sent, not what the page's globals became.
    virtual void inlineScripts(const QStringList &markers, Reply<QStringList> reply) = 0;

    // innerText of the first element with this tag name; Failed when there is none.
    virtual void firstInnerText(const QString &tagName, Reply<QString> reply) = 0;

    // Appends markup to a blank document (document.write).
    virtual void write(const QString &markup, std::function<void(bool)> reply) = 0;
};

} // namespace talvesk
