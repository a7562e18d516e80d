// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageDocument.h"

#include <QPointer>
#include <QVariant>

namespace talvesk {

class QtPageBrowser;

// The document of one load of a QtPageBrowser. Every read fails once the browser has
// started another load or is gone.
class QtPageDocument final : public PageDocument
{
public:
    QtPageDocument(QtPageBrowser *browser, int generation);

    void bodyScrollHeight(Reply<std::optional<int>> reply) override;
    void scrollToTopReadingHeight(Reply<std::optional<int>> reply) override;
    void scrollByReadingHeight(int x, int y, Reply<std::optional<int>> reply) override;
    void scrollHandling(bool restart, Reply<std::optional<ScrollHandling>> reply) override;
    void readItemPage(const ItemPageQuery &query, Reply<std::optional<ItemPageReading>> reply) override;
    void renderedImages(const QStringList &lazyAttributes, Reply<std::optional<PageImages>> reply) override;
    void shownMarks(const QStringList &selectors, const QStringList &phrases,
                    Reply<std::optional<ShownMarks>> reply) override;
    void inlineScripts(const QStringList &markers, Reply<std::optional<QStringList>> reply) override;
    void firstInnerText(const QString &tagName, Reply<std::optional<QString>> reply) override;
    void write(const QString &markup, Reply<bool> reply) override;

private:
    void evaluate(const QString &script, Reply<std::optional<QVariant>> reply);

    QPointer<QtPageBrowser> m_browser;
    int m_generation;
};

} // namespace talvesk
