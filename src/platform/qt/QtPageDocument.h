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

    void scrollToTopReadingHeight(Reply<int> reply) override;
    void scrollByReadingHeight(int x, int y, Reply<ScrolledPage> reply) override;
    void scrollHandling(bool restart, Reply<ScrollHandling> reply) override;
    void readItemPage(const ItemPageQuery &query, Reply<ItemPageReading> reply) override;
    void renderedImages(const QStringList &lazyAttributes, Reply<PageImages> reply) override;
    void shownMarks(const QStringList &selectors, const QStringList &phrases,
                    Reply<ShownMarks> reply) override;
    void inlineScripts(const QStringList &markers, Reply<QStringList> reply) override;
    void firstInnerText(const QString &tagName, Reply<QString> reply) override;
    void write(const QString &markup, std::function<void(bool)> reply) override;

private:
    void evaluate(const QString &script, std::function<void(PageAnswer<QVariant>)> reply);

    QPointer<QtPageBrowser> m_browser;
    int m_generation;
};

} // namespace talvesk
