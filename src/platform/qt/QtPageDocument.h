#pragma once

#include "platform/PageDocument.h"

#include <QPointer>

namespace talvesk {

class QtPageBrowser;

// The document of one load of a QtPageBrowser. Every read fails once the browser has
// started another load or is gone.
class QtPageDocument final : public PageDocument
{
public:
    QtPageDocument(QtPageBrowser *browser, int generation);

    std::optional<int> bodyScrollHeight() override;
    std::optional<int> scrollByReadingHeight(int x, int y) override;
    std::optional<QList<PageElement>> elementsByTagName(const QString &tagName,
                                                        const QStringList &innerHtmlForIds) override;
    std::optional<int> loadLazyImages(const QString &divId, const QString &addressAttribute) override;
    std::optional<QString> firstInnerText(const QString &tagName) override;
    bool write(const QString &markup) override;

private:
    std::optional<QVariant> evaluate(const QString &script);

    QPointer<QtPageBrowser> m_browser;
    int m_generation;
};

} // namespace talvesk
