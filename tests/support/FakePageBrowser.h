// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scriptable browser for core tests. Tests set the public fields to describe the page and
// read them back to see what the code under test did.
//
//   FakePageBrowser browser;
//   loop.watch(browser);
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
// returns the divs of the ids asked for. A FakeEventLoop that
// watches the browser delivers, at every turn, the answers to the reads made before it, as the
// engine's come, and then wakes the waiters for a change. With holdReplies set the answers wait
// in heldReplies.

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
    bool holdReplies = false;
    std::vector<std::function<void()>> heldReplies;
    std::vector<std::function<void()>> changeWaiters;

    void answerNextTurn(std::function<void()> reply) { m_replies.push_back(std::move(reply)); }
    void notifyOnChange(std::function<void()> changed) override
    {
        changeWaiters.push_back(std::move(changed));
    }
    bool hasWaiters() const override { return !changeWaiters.empty() || !m_replies.empty(); }
    void wakeWaiters() override
    {
        const auto replies = std::move(m_replies);
        m_replies.clear();
        for (const auto &reply : replies)
            reply();
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
    bool drawingBehind(int) const override { return drawnBehind; }

private:
    std::vector<std::function<void()>> m_replies; // to be sent with the next turn
};

class FakePageDocument final : public PageDocument
{
public:
    explicit FakePageDocument(FakePageBrowser &browser) : m_browser(browser), m_generation(browser.generation)
    {
    }

    void scrollToTopReadingHeight(Reply<int> reply) override
    {
        m_position = 0;
        answer(std::move(reply), height());
    }
    void scrollByReadingHeight(int x, int y, Reply<ScrolledPage> reply) override
    {
        const PageAnswer<int> read = height();
        if (!read)
            return answer(std::move(reply), PageAnswer<ScrolledPage>(read.failure()));
        m_browser.scrolls.append({x, y});
        m_position += y;
        answer(std::move(reply), PageAnswer<ScrolledPage>(ScrolledPage{*read, m_position}));
    }
    void scrollHandling(bool restart, Reply<ScrollHandling> reply) override
    {
        if (!height())
            return answer(std::move(reply), PageAnswer<ScrollHandling>(height().failure()));
        if (restart) {
            ++m_browser.scrollWatches;
            m_watchReads = 0;
        }
        ScrollHandling handling;
        handling.stage = m_browser.scrollHandlingAt ? m_browser.scrollHandlingAt(m_watchReads++)
                                                    : ScrollHandling::Stage::Handled;
        handling.height = *height(); // as the page has grown meanwhile
        answer(std::move(reply), PageAnswer<ScrollHandling>(handling));
    }
    void readItemPage(const talvesk::ItemPageQuery &query, Reply<talvesk::ItemPageReading> reply) override
    {
        if (const std::optional<ReadFailure> failure = unanswered())
            return answer(std::move(reply), PageAnswer<ItemPageReading>(*failure));
        if (!m_browser.pageReadable)
            return answer(std::move(reply), PageAnswer<ItemPageReading>(ReadFailure::Failed));
        if (m_browser.onCompleteLazyImages)
            m_browser.onCompleteLazyImages(query.lazyBlockId, query.lazyBlockAttribute);
        talvesk::ItemPageReading reading;
        for (const PageElement &element : m_browser.divs) {
            if (query.blockIds.contains(element.id))
                reading.blocks.append(element);
        }
        reading.images = m_browser.images;
        answer(std::move(reply), PageAnswer<ItemPageReading>(reading));
    }
    void renderedImages(const QStringList &, Reply<PageImages> reply) override
    {
        answer(std::move(reply), read(m_browser.renderedPictures));
    }
    void shownMarks(const QStringList &, const QStringList &, Reply<talvesk::ShownMarks> reply) override
    {
        answer(std::move(reply), read(m_browser.marks));
    }
    void inlineScripts(const QStringList &, Reply<QStringList> reply) override
    {
        answer(std::move(reply), read(m_browser.scripts));
    }
    void firstInnerText(const QString &tagName, Reply<QString> reply) override
    {
        const std::optional<QString> title =
            tagName == QStringLiteral("title") ? m_browser.title : std::optional<QString>();
        answer(std::move(reply),
               title ? read(*title) : PageAnswer<QString>(unanswered().value_or(ReadFailure::Failed)));
    }
    void write(const QString &markup, std::function<void(bool)> reply) override
    {
        if (unanswered() || !m_browser.writable)
            return answer(std::move(reply), false);
        m_browser.written.append(markup);
        answer(std::move(reply), true);
    }

private:
    // Why a read gets no answer: a busy page gives none in time, a gone document none at all.
    std::optional<ReadFailure> unanswered() const
    {
        if (m_browser.busy)
            return ReadFailure::Unresponsive;
        if (!m_browser.hasDocument || m_browser.generation != m_generation)
            return ReadFailure::Gone;
        return std::nullopt;
    }
    template <typename T> PageAnswer<T> read(const T &value) const
    {
        const std::optional<ReadFailure> failure = unanswered();
        return failure ? PageAnswer<T>(*failure) : PageAnswer<T>(value);
    }
    PageAnswer<int> height() const
    {
        const std::optional<ReadFailure> failure = unanswered();
        if (failure)
            return *failure;
        return m_browser.scrollHeight ? PageAnswer<int>(*m_browser.scrollHeight)
                                      : PageAnswer<int>(ReadFailure::Failed);
    }

    template <typename Answer> void answer(std::function<void(Answer)> reply, Answer value)
    {
        auto call = [reply = std::move(reply), value = std::move(value)] { reply(value); };
        if (m_browser.holdReplies)
            m_browser.heldReplies.push_back(std::move(call));
        else
            m_browser.answerNextTurn(std::move(call));
    }

    FakePageBrowser &m_browser;
    int m_generation;
    int m_watchReads = 0; // reads of the latest scroll watch
    int m_position = 0;   // where the page is scrolled to
};

inline std::unique_ptr<PageDocument> FakePageBrowser::document()
{
    if (!hasDocument)
        return nullptr;
    return std::make_unique<FakePageDocument>(*this);
}

} // namespace talvesk::test
