#include "collect/ItemTitle.h"

#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"

namespace talvesk {

ItemTitleResult readItemTitle(PageBrowser &browser)
{
    ItemTitleResult result;
    const std::unique_ptr<PageDocument> document = browser.document();
    if (!document) {
        result.errorString = QStringLiteral("采集失败:浏览器中没有可读取的网页！");
        return result;
    }
    const std::optional<QString> text = document->firstInnerText(QStringLiteral("title"));
    if (!text) {
        result.errorString = QStringLiteral("采集失败:网页没有标题(title)元素,无法取得宝贝标题！");
        return result;
    }
    result.ok = true;
    result.title = cleanFileName(*text);
    return result;
}

QString cleanFileName(const QString &text)
{
    QString cleaned = text;
    for (const QChar c : {u'/', u'\\', u':', u'*', u'?', u'<', u'>', u'|'})
        cleaned.remove(c, Qt::CaseSensitive);
    return cleaned;
}

} // namespace talvesk
