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

    std::optional<int> bodyScrollHeight()
    {
        return answer<std::optional<int>>([&](auto reply) { m_document->bodyScrollHeight(reply); });
    }
    std::optional<int> scrollByReadingHeight(int x, int y)
    {
        return answer<std::optional<int>>(
            [&](auto reply) { m_document->scrollByReadingHeight(x, y, reply); });
    }
    std::optional<talvesk::ScrollHandling> scrollHandling(bool restart)
    {
        return answer<std::optional<talvesk::ScrollHandling>>(
            [&](auto reply) { m_document->scrollHandling(restart, reply); });
    }
    std::optional<QList<talvesk::PageElement>> elementsByTagName(const QString &tag, const QStringList &ids)
    {
        return answer<std::optional<QList<talvesk::PageElement>>>(
            [&](auto reply) { m_document->elementsByTagName(tag, ids, reply); });
    }
    std::optional<QString> firstInnerText(const QString &tag)
    {
        return answer<std::optional<QString>>([&](auto reply) { m_document->firstInnerText(tag, reply); });
    }
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
    return SyncDocument::answer<std::optional<QVariant>>(
        [&](auto reply) { browser.evaluate(script, browser.loadGeneration(), reply); });
}

} // namespace talvesk::test
