#include "collect/PreviewPage.h"

#include "platform/EventLoop.h"
#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"

namespace talvesk {
namespace {

// Markup-escapes a value inserted into the preview: text content and a double-quoted
// attribute value alike. Values without these five characters stay exactly as they are.
QString escaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

const QString &breakFragment()
{
    static const QString p = QStringLiteral("<p>");
    return p;
}

// Main and colour sections: small pictures up to the first "null", a break after every third.
int writeSmallPictures(QStringList &fragments, const PictureList &list)
{
    int count = 0;
    for (int i = 0; i < PictureList::kSlots; ++i) {
        if (list[i] == PictureList::nullSlot())
            break;
        ++count;
        fragments << QStringLiteral("<img width=310 height=310 src=\"") + escaped(list[i]) +
                         QStringLiteral(" \">&nbsp;</img>");
        if ((i + 1) % 3 == 0)
            fragments << breakFragment();
    }
    return count;
}

// Description section: wide pictures up to the first "null", each followed by a break.
int writeWidePictures(QStringList &fragments, const PictureList &list)
{
    int count = 0;
    for (int i = 0; i < PictureList::kSlots; ++i) {
        if (list[i] == PictureList::nullSlot())
            break;
        ++count;
        fragments << QStringLiteral("<img width=750  src=\"") + escaped(list[i]) +
                         QStringLiteral(" \">&nbsp;</img>")
                  << breakFragment();
    }
    return count;
}

} // namespace

PreviewPage buildPreviewPage(const CollectedSet &set, const QString &address)
{
    PreviewPage page;
    QStringList &f = page.fragments;
    f << QStringLiteral("<font fontsize=9>宝贝标题:") + escaped(set.itemTitle) + QStringLiteral("</font>")
      << breakFragment()
      << QStringLiteral("<font fontsize=9>宝贝网址:") + escaped(address) + QStringLiteral("</font>")
      << breakFragment() << QStringLiteral("<font fontsize=8>主图缩略图:</font>") << breakFragment();
    page.counts.main = writeSmallPictures(f, set.mainPictures);
    f << breakFragment() << breakFragment() << QStringLiteral("<font fontsize=8>颜色缩略图:</font>")
      << breakFragment();
    page.counts.colour = writeSmallPictures(f, set.colourPictures);
    f << breakFragment() << QStringLiteral("<font fontsize=8>描述缩略图:</font>") << breakFragment();
    page.counts.description = writeWidePictures(f, set.descriptionPictures);
    return page;
}

PreviewResult writePreviewPage(PageBrowser &browser, EventLoop &loop, const CollectedSet &set,
                               const QString &address)
{
    const PreviewPage page = buildPreviewPage(set, address);
    PreviewResult result;
    result.counts = page.counts;

    browser.navigateBlank();
    // Blank-page wait: at least one turn of the event loop, then as long as the page is loading.
    do {
        if (!loop.waitForEvents()) {
            result.status = PreviewResult::Status::Closing;
            result.errorString = QStringLiteral("程序正在关闭");
            return result;
        }
    } while (browser.loadState() == PageBrowser::LoadState::Loading);
    if (browser.loadState() != PageBrowser::LoadState::Finished) {
        result.errorString = QStringLiteral("空白页未能载入");
        return result;
    }

    const std::unique_ptr<PageDocument> document = browser.document();
    if (!document) {
        result.errorString = QStringLiteral("预览页没有文档");
        return result;
    }
    // One write of all fragments in order gives the same document as one write per fragment.
    if (!document->write(page.fragments.join(QString()))) {
        result.errorString = QStringLiteral("无法写入预览页");
        return result;
    }
    result.status = PreviewResult::Status::Written;
    return result;
}

} // namespace talvesk
