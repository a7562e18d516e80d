// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads of a real page that wait for their answers, running the event loop (engine tests).
//
//   SyncDocument document(browser.document());
//   EXPECT_EQ(document->firstInnerText(QStringLiteral("title")), QStringLiteral("Item"));

#include "app/WaitUntil.h"
#include "platform/PageDocument.h"
#include "platform/qt/QtPageBrowser.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace talvesk::test {

// A document whose reads wait for their answers, running the event loop.
class SyncDocument
{
public:
    explicit SyncDocument(std::unique_ptr<talvesk::PageDocument> document) : m_document(std::move(document))
    {
    }
    SyncDocument *operator->() { return this; }

    // The body's height, read as the page is scrolled to its top.
    talvesk::PageAnswer<int> heightFromTopAnswer()
    {
        return answer<talvesk::PageAnswer<int>>(
            [&](auto reply) { m_document->scrollToTopReadingHeight(reply); });
    }
    std::optional<int> heightFromTop() { return heightFromTopAnswer().value(); }
    // The height read with the scroll.
    std::optional<int> scrollByReadingHeight(int x, int y)
    {
        const auto scrolled = answer<talvesk::PageAnswer<talvesk::ScrolledPage>>(
            [&](auto reply) { m_document->scrollByReadingHeight(x, y, reply); });
        return scrolled ? std::optional<int>(scrolled->height) : std::nullopt;
    }
    std::optional<talvesk::ScrollHandling> scrollHandling(bool restart)
    {
        return answer<talvesk::PageAnswer<talvesk::ScrollHandling>>(
                   [&](auto reply) { m_document->scrollHandling(restart, reply); })
            .value();
    }
    // The divs of these ids, read as an item page is.
    std::optional<QList<talvesk::PageElement>> blocks(const QStringList &ids)
    {
        const auto reading = answer<talvesk::PageAnswer<talvesk::ItemPageReading>>([&](auto reply) {
            m_document->readItemPage({ids, {}, {}, {}, {}, {}, {}}, reply);
        });
        return reading ? std::optional<QList<talvesk::PageElement>>(reading->blocks) : std::nullopt;
    }
    talvesk::PageAnswer<QString> firstInnerTextAnswer(const QString &tag)
    {
        return answer<talvesk::PageAnswer<QString>>(
            [&](auto reply) { m_document->firstInnerText(tag, reply); });
    }
    std::optional<QString> firstInnerText(const QString &tag) { return firstInnerTextAnswer(tag).value(); }
    bool write(const QString &markup)
    {
        return answer<bool>([&](auto reply) { m_document->write(markup, reply); });
    }

    template <typename T, typename Read> static T answer(Read read)
    {
        std::optional<T> answered;
        read(std::function<void(T)>([&answered](T value) { answered = std::move(value); }));
        EXPECT_TRUE(waitUntil([&] { return answered.has_value(); }));
        return answered.value_or(T{});
    }

private:
    std::unique_ptr<talvesk::PageDocument> m_document;
};

inline std::optional<QVariant> evaluated(QtPageBrowser &browser, const QString &script)
{
    return SyncDocument::answer<talvesk::PageAnswer<QVariant>>(
               [&](auto reply) { browser.evaluate(script, browser.loadGeneration(), reply); })
        .value();
}

} // namespace talvesk::test
