// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PreviewPage.h"

#include "platform/PageBrowser.h"
#include "platform/PageDocument.h"
#include "platform/WaitForChange.h"
#include "platform/Waits.h"

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

// Main and colour sections: small pictures, a break after every third; a picture with a name
// has it written under it.
void writeSmallPictures(QStringList &fragments, const PictureList &list, const QStringList &names = {})
{
    for (int i = 0; i < list.size(); ++i) {
        const QString picture = QStringLiteral("<img width=310 height=310 src=\"") + escaped(list.at(i)) +
                                QStringLiteral(" \">&nbsp;</img>");
        const QString name = names.value(i);
        if (name.isEmpty())
            fragments << picture;
        else
            fragments << QStringLiteral(
                             "<span style=\"display:inline-block;vertical-align:top;text-align:center\">") +
                             picture + QStringLiteral("<br><small>") + escaped(name) +
                             QStringLiteral("</small></span>");
        if ((i + 1) % 3 == 0)
            fragments << breakFragment();
    }
}

// Description section: wide pictures, each followed by a break.
void writeWidePictures(QStringList &fragments, const PictureList &list)
{
    for (const QString &address : list)
        fragments << QStringLiteral("<img width=750  src=\"") + escaped(address) +
                         QStringLiteral(" \">&nbsp;</img>")
                  << breakFragment();
}

} // namespace

QString buildPreviewPage(const CollectedSet &set, const QString &address)
{
    QStringList f;
    f << QStringLiteral("<font fontsize=9>宝贝标题:") + escaped(set.itemTitle) + QStringLiteral("</font>")
      << breakFragment()
      << QStringLiteral("<font fontsize=9>宝贝网址:") + escaped(address) + QStringLiteral("</font>")
      << breakFragment() << QStringLiteral("<font fontsize=8>主图缩略图:</font>") << breakFragment();
    writeSmallPictures(f, set.mainPictures);
    f << breakFragment() << breakFragment() << QStringLiteral("<font fontsize=8>颜色缩略图:</font>")
      << breakFragment();
    writeSmallPictures(f, set.colourPictures, set.colourNames);
    f << breakFragment() << QStringLiteral("<font fontsize=8>描述缩略图:</font>") << breakFragment();
    writeWidePictures(f, set.descriptionPictures);
    // The main videos after the lists, only when there are any: each shows its first frame as
    // its poster, and its address under it. No script plays it.
    if (!set.videos.isEmpty()) {
        f << breakFragment() << QStringLiteral("<font fontsize=8>主图视频:</font>") << breakFragment();
        for (const QString &video : set.videos)
            f << QStringLiteral("<span style=\"display:inline-block;vertical-align:top;text-align:center\">"
                                "<video width=310 height=310 preload=metadata src=\"") +
                     escaped(video) + QStringLiteral("\"></video><br><small>") + escaped(video) +
                     QStringLiteral("</small></span>");
    }
    return f.join(QString());
}

QCoro::Task<PreviewResult> writePreviewPage(PageBrowser &browser, EventLoop &loop, CollectedSet set,
                                            QString address)
{
    Waits waits(loop);
    waits.dependOn(browser.presence());
    const QString markup = buildPreviewPage(set, address);
    PreviewResult result;

    browser.navigateBlank();
    // Blank-page wait: at least one turn of the event loop, then as long as the page is loading.
    const Waited<bool> turn = co_await waits.nextTurn();
    bool cutShort = turn.cutShort();
    while (!cutShort && browser.loadState() == PageBrowser::LoadState::Loading) {
        const Waited<bool> changed = co_await waitForChange(waits, browser);
        cutShort = changed.cutShort();
    }
    if (cutShort) {
        result.errorString = QStringLiteral("预览已中止");
        co_return result;
    }
    if (browser.loadState() != PageBrowser::LoadState::Finished) {
        result.errorString = QStringLiteral("空白页未能载入");
        co_return result;
    }

    const std::unique_ptr<PageDocument> document = browser.document();
    if (!document) {
        result.errorString = QStringLiteral("预览页没有文档");
        co_return result;
    }
    // One write of the whole markup: the same document as one write per piece of it.
    const Waited<bool> written = co_await waits.answer<bool>(
        [&](std::function<void(bool)> reply) { document->write(markup, std::move(reply)); });
    if (written.cutShort() || !*written) {
        result.errorString =
            written.cutShort() ? QStringLiteral("预览已中止") : QStringLiteral("无法写入预览页");
        co_return result;
    }
    result.status = PreviewResult::Status::Written;
    co_return result;
}

} // namespace talvesk
