// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scriptable browser for core tests. Tests set the public fields to describe the page and
// read them back to see what the code under test did.
//
//   FakePageBrowser browser;
//   browser.scrollHeight = 1000;
//   browser.divs = {{"detail", "<img data-src=...>"}, {"other", "..."}}; // the page's divs
//   browser.images.sets = {...};                     // answers to today's selectors
//   browser.marks.selectorsShown = {true};           // a login form shows
//   browser.title = QStringLiteral("Item");         // std::nullopt: no title element
//   browser.state = PageBrowser::LoadState::Loading; // e.g. finished later by a yield hook
//   browser.busy = true;                             // reads time out from now on
//
// navigate() records the address, bumps generation and sets state to
// stateAfterNavigate (state), and address() to the address navigated to. A document taken before
// a later navigate() fails every read, as a real page that went away does. The page read
// returns the divs of the ids asked for. Reads answer at
// once, unless holdReplies is set: then they wait in heldReplies until answerHeld(). Waiters
// for a change are woken by a FakeEventLoop that watches the browser, at every turn.

#include "platform/PageBrowser.h"
#include "support/FakeEventLoop.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace talvesk::test {

class FakePageBrowser final : public PageBrowser, public WakeOnTurn
{
public:
    // The page.
    bool hasDocument = true;
    std::optional<int> scrollHeight = 0; // nullopt: no body
    QList<PageElement> divs;
    std::optional<QString> title; // first title element's innerText
    PageImages images;            // the answer to today's selectors, whatever they are
    bool pageReadable = true;     // readItemPage() answers
    // Runs before readItemPage() reads the divs, with the lazy block's id and attribute, e.g. to
    // change divs as the page would.
    std::function<void(const QString &, const QString &)> onCompleteLazyImages;
    ShownMarks marks;            // what shownMarks() answers
    PageImages renderedPictures; // what renderedImages() answers (one set)
    QStringList scripts;         // the inline scripts' texts
    QUrl shownAddress;           // address(); navigate() sets it
    bool writable = true;
    bool busy = false;        // a script of the page's own blocks it: every read times out
    bool drawnBehind = false; // the page has not drawn its latest scroll position yet
    // How far the page has got with handling the scrolls, at each read of a watch: 0 for the
    // read that starts it, 1 for the next... Handled at once unless set; may change the page.
    std::function<ScrollHandling::Stage(int)> scrollHandlingAt;
    int scrollWatches = 0; // watches started

    // Loading.
    LoadState state = LoadState::Finished;
    LoadState stateAfterNavigate = LoadState::Finished;
    int generation = 0;
    std::function<void(const QString &)> onNavigate;

    // What was done to it.
    QStringList navigations; // "about:blank" for navigateBlank()
    QList<QPair<int, int>> scrolls;
    QStringList written;
    QStringList operations; // goBack, goForward, refresh, goHome, goSearch, stop
    bool visible = true;
    bool silent = false;
    QString location;
    bool readTimedOut = false; // the latest read failed for want of an answer
    bool holdReplies = false;
    std::vector<std::function<void()>> heldReplies;
    std::vector<std::function<void()>> changeWaiters;

    void answerHeld()
    {
        const auto replies = std::move(heldReplies);
        heldReplies.clear();
        for (const auto &reply : replies)
            reply();
    }
    void notifyOnChange(std::function<void()> changed) override
    {
        changeWaiters.push_back(std::move(changed));
    }
    bool hasWaiters() const override { return !changeWaiters.empty(); }
    void wakeWaiters() override
    {
        const auto waiters = std::move(changeWaiters);
        changeWaiters.clear();
        for (const auto &waiter : waiters)
            waiter();
    }

    void navigate(const QString &address) override
    {
        navigations.append(address);
        shownAddress = QUrl::fromUserInput(address);
        ++generation;
        state = stateAfterNavigate;
        if (onNavigate)
            onNavigate(address);
    }
    void navigateBlank() override
    {
        written.clear();
        navigate(QStringLiteral("about:blank"));
    }
    PageBrowser::LoadState loadState() const override { return state; }
    QUrl address() const override { return shownAddress; }
    int loadGeneration() const override { return generation; }
    std::unique_ptr<PageDocument> document() override;
    bool scriptTimedOut() const override { return readTimedOut; }
    bool drawingBehind() const override { return drawnBehind; }
    void setVisible(bool v) override { visible = v; }
    bool isVisible() const override { return visible; }
    QString locationName() const override { return location; }
    void setSilent(bool s) override { silent = s; }
    void goBack() override { operations.append(QStringLiteral("goBack")); }
    void goForward() override { operations.append(QStringLiteral("goForward")); }
    void refresh() override { operations.append(QStringLiteral("refresh")); }
    void goHome() override { operations.append(QStringLiteral("goHome")); }
    void goSearch() override { operations.append(QStringLiteral("goSearch")); }
    void stop() override { operations.append(QStringLiteral("stop")); }
};

class FakePageDocument final : public PageDocument
{
public:
    explicit FakePageDocument(FakePageBrowser &browser) : m_browser(browser), m_generation(browser.generation)
    {
    }

    void bodyScrollHeight(Reply<std::optional<int>> reply) override
    {
        answer(std::move(reply), alive() ? m_browser.scrollHeight : std::nullopt);
    }
    void scrollToTopReadingHeight(Reply<std::optional<int>> reply) override
    {
        answer(std::move(reply), alive() ? m_browser.scrollHeight : std::nullopt);
    }
    void scrollByReadingHeight(int x, int y, Reply<std::optional<int>> reply) override
    {
        if (!alive())
            return answer(std::move(reply), std::optional<int>());
        m_browser.scrolls.append({x, y});
        answer(std::move(reply), m_browser.scrollHeight);
    }
    void scrollHandling(bool restart, Reply<std::optional<ScrollHandling>> reply) override
    {
        if (!alive() || !m_browser.scrollHeight)
            return answer(std::move(reply), std::optional<ScrollHandling>());
        if (restart) {
            ++m_browser.scrollWatches;
            m_watchReads = 0;
        }
        ScrollHandling handling;
        handling.stage = m_browser.scrollHandlingAt ? m_browser.scrollHandlingAt(m_watchReads++)
                                                    : ScrollHandling::Stage::Handled;
        handling.height = *m_browser.scrollHeight;
        answer(std::move(reply), std::optional<ScrollHandling>(handling));
    }
    void readItemPage(const talvesk::ItemPageQuery &query,
                      Reply<std::optional<talvesk::ItemPageReading>> reply) override
    {
        if (!alive() || !m_browser.pageReadable)
            return answer(std::move(reply), std::optional<talvesk::ItemPageReading>());
        if (m_browser.onCompleteLazyImages)
            m_browser.onCompleteLazyImages(query.lazyBlockId, query.lazyBlockAttribute);
        talvesk::ItemPageReading reading;
        for (const PageElement &element : m_browser.divs) {
            if (query.blockIds.contains(element.id))
                reading.blocks.append(element);
        }
        reading.images = m_browser.images;
        answer(std::move(reply), std::optional<talvesk::ItemPageReading>(reading));
    }
    void renderedImages(const QStringList &, Reply<std::optional<PageImages>> reply) override
    {
        answer(std::move(reply),
               alive() ? std::optional<PageImages>(m_browser.renderedPictures) : std::nullopt);
    }
    void shownMarks(const QStringList &, const QStringList &,
                    Reply<std::optional<talvesk::ShownMarks>> reply) override
    {
        answer(std::move(reply),
               alive() ? std::optional<talvesk::ShownMarks>(m_browser.marks) : std::nullopt);
    }
    void inlineScripts(const QStringList &, Reply<std::optional<QStringList>> reply) override
    {
        answer(std::move(reply), alive() ? std::optional<QStringList>(m_browser.scripts) : std::nullopt);
    }
    void firstInnerText(const QString &tagName, Reply<std::optional<QString>> reply) override
    {
        if (!alive() || tagName != QStringLiteral("title"))
            return answer(std::move(reply), std::optional<QString>());
        answer(std::move(reply), m_browser.title);
    }
    void write(const QString &markup, Reply<bool> reply) override
    {
        if (!alive() || !m_browser.writable)
            return answer(std::move(reply), false);
        m_browser.written.append(markup);
        answer(std::move(reply), true);
    }

private:
    // Whether a read gets an answer; a busy page gives none, a gone document fails at once.
    bool alive() const
    {
        m_browser.readTimedOut = m_browser.busy;
        return !m_browser.busy && m_browser.hasDocument && m_browser.generation == m_generation;
    }

    template <typename T> void answer(Reply<T> reply, T value)
    {
        if (m_browser.holdReplies)
            m_browser.heldReplies.push_back(
                [reply = std::move(reply), value = std::move(value)] { reply(value); });
        else
            reply(std::move(value));
    }

    FakePageBrowser &m_browser;
    int m_generation;
    int m_watchReads = 0; // reads of the latest scroll watch
};

inline std::unique_ptr<PageDocument> FakePageBrowser::document()
{
    if (!hasDocument)
        return nullptr;
    return std::make_unique<FakePageDocument>(*this);
}

} // namespace talvesk::test
