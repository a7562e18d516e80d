#pragma once
// A scriptable browser for core tests. Tests set the public fields to describe the page and
// read them back to see what the code under test did.
//
//   FakePageBrowser browser;
//   browser.scrollHeight = 1000;
//   browser.divs = {{"detail", "<img data-src=...>"}, {"other", "..."}};
//   browser.title = QStringLiteral("Item");         // std::nullopt: no title element
//   browser.state = PageBrowser::LoadState::Loading; // e.g. finished later by a yield hook
//   browser.busy = true;                             // reads time out from now on
//
// navigate() records the address, bumps generation and sets state to
// stateAfterNavigate (state). A document taken before a later navigate() fails every read, as a real
// page that went away does. innerHtml is returned only for the ids asked for.

#include "platform/PageBrowser.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <functional>
#include <optional>

namespace talvesk::test {

class FakePageBrowser final : public PageBrowser
{
public:
    // The page.
    bool hasDocument = true;
    std::optional<int> scrollHeight = 0; // nullopt: no body
    QList<PageElement> divs;
    std::optional<QString> title; // first title element's innerText
    bool divsReadable = true;
    bool lazyImagesLoadable = true;
    // Runs for loadLazyImages(divId, attribute), e.g. to change divs as the page would.
    std::function<int(const QString &, const QString &)> onLoadLazyImages;
    bool writable = true;
    bool busy = false;        // a script of the page's own blocks it: every read times out
    bool drawnBehind = false; // the page has not drawn its latest scroll position yet

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

    void navigate(const QString &address) override
    {
        navigations.append(address);
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

    std::optional<int> bodyScrollHeight() override
    {
        if (!alive())
            return std::nullopt;
        return m_browser.scrollHeight;
    }
    std::optional<int> scrollByReadingHeight(int x, int y) override
    {
        if (!alive())
            return std::nullopt;
        m_browser.scrolls.append({x, y});
        return m_browser.scrollHeight;
    }
    std::optional<QList<PageElement>> elementsByTagName(const QString &tagName,
                                                        const QStringList &innerHtmlForIds) override
    {
        if (!alive() || !m_browser.divsReadable || tagName != QStringLiteral("div"))
            return std::nullopt;
        QList<PageElement> result;
        for (const PageElement &element : m_browser.divs)
            result.append({element.id, innerHtmlForIds.contains(element.id) ? element.innerHtml : QString()});
        return result;
    }
    std::optional<int> loadLazyImages(const QString &divId, const QString &addressAttribute) override
    {
        if (!alive() || !m_browser.lazyImagesLoadable)
            return std::nullopt;
        return m_browser.onLoadLazyImages ? m_browser.onLoadLazyImages(divId, addressAttribute) : 0;
    }
    std::optional<QString> firstInnerText(const QString &tagName) override
    {
        if (!alive() || tagName != QStringLiteral("title"))
            return std::nullopt;
        return m_browser.title;
    }
    bool write(const QString &markup) override
    {
        if (!alive() || !m_browser.writable)
            return false;
        m_browser.written.append(markup);
        return true;
    }

private:
    // Whether a read gets an answer; a busy page gives none, a gone document fails at once.
    bool alive() const
    {
        m_browser.readTimedOut = m_browser.busy;
        return !m_browser.busy && m_browser.hasDocument && m_browser.generation == m_generation;
    }

    FakePageBrowser &m_browser;
    int m_generation;
};

inline std::unique_ptr<PageDocument> FakePageBrowser::document()
{
    if (!hasDocument)
        return nullptr;
    return std::make_unique<FakePageDocument>(*this);
}

} // namespace talvesk::test
