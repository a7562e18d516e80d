// SPDX-License-Identifier: GPL-3.0-or-later
// The preview page for any title, address and picture addresses: the written markup has the
// tags and attributes of a preview of plain names, no more, and gives every value back whole.

#include "FuzzInput.h"

#include "app/PreviewPage.h"
#include "support/FakeEventLoop.h"
#include "support/FakePageBrowser.h"

#include <QHash>

#include <cstddef>
#include <cstdint>

using talvesk::CollectedSet;
using talvesk::PictureList;
using talvesk::fuzz::check;

namespace {

// What an HTML tokenizer sees in the markup: its tags with their attributes, and the values
// (text runs and attribute values) with character references decoded.
struct Tokens
{
    QStringList tags;   // "img width height src", "/font", "!" for a comment or declaration
    QStringList values; // in document order
    bool unknownReference = false;
};

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// The references the escaping writes; any other "&" means text reached the page unescaped.
QString decoded(QStringView text, bool &unknown)
{
    static const QList<QPair<QLatin1String, QChar>> known = {
        {QLatin1String("&amp;"), u'&'},  {QLatin1String("&lt;"), u'<'},
        {QLatin1String("&gt;"), u'>'},   {QLatin1String("&quot;"), u'"'},
        {QLatin1String("&#39;"), u'\''}, {QLatin1String("&nbsp;"), QChar(0xa0)}};
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != u'&') {
            out += text[i++];
            continue;
        }
        bool matched = false;
        for (const auto &reference : known) {
            if (text.mid(i).startsWith(reference.first)) {
                out += reference.second;
                i += reference.first.size();
                matched = true;
                break;
            }
        }
        if (!matched) {
            unknown = true;
            out += text[i++];
        }
    }
    return out;
}

Tokens tokenize(const QString &markup)
{
    Tokens tokens;
    qsizetype i = 0;
    const qsizetype n = markup.size();
    qsizetype textStart = 0;
    auto flushText = [&](qsizetype end) {
        if (end > textStart)
            tokens.values << decoded(QStringView(markup).mid(textStart, end - textStart),
                                     tokens.unknownReference);
    };
    while (i < n) {
        const QChar c = markup[i];
        const bool opensTag = c == u'<' && i + 1 < n &&
                              (isAsciiLetter(markup[i + 1]) || markup[i + 1] == u'/' ||
                               markup[i + 1] == u'!' || markup[i + 1] == u'?');
        if (!opensTag) {
            ++i;
            continue;
        }
        flushText(i);
        ++i;
        QString tag;
        if (markup[i] == u'!' || markup[i] == u'?') {
            tag = QStringLiteral("!");
            const qsizetype close = markup.indexOf(u'>', i);
            i = close < 0 ? n : close + 1;
            tokens.tags << tag;
            textStart = i;
            continue;
        }
        if (markup[i] == u'/') {
            tag += u'/';
            ++i;
        }
        while (i < n && !isSpace(markup[i]) && markup[i] != u'/' && markup[i] != u'>')
            tag += markup[i++].toLower();
        // Attributes up to the closing ">".
        while (i < n && markup[i] != u'>') {
            if (isSpace(markup[i]) || markup[i] == u'/') {
                ++i;
                continue;
            }
            QString name;
            while (i < n && !isSpace(markup[i]) && markup[i] != u'/' && markup[i] != u'>' &&
                   (markup[i] != u'=' || name.isEmpty()))
                name += markup[i++].toLower();
            tag += u' ' + name;
            while (i < n && isSpace(markup[i]))
                ++i;
            if (i >= n || markup[i] != u'=')
                continue;
            ++i;
            while (i < n && isSpace(markup[i]))
                ++i;
            qsizetype start = i;
            qsizetype end = i;
            if (i < n && (markup[i] == u'"' || markup[i] == u'\'')) {
                const QChar quote = markup[i];
                start = i + 1;
                end = markup.indexOf(quote, start);
                if (end < 0)
                    end = n;
                i = end + 1;
            } else {
                while (i < n && !isSpace(markup[i]) && markup[i] != u'>')
                    ++i;
                end = i;
            }
            tokens.values << decoded(QStringView(markup).mid(start, end - start), tokens.unknownReference);
        }
        ++i; // the ">"
        tokens.tags << tag;
        textStart = i;
    }
    flushText(n);
    return tokens;
}

QString written(const CollectedSet &set, const QString &address)
{
    talvesk::test::FakeEventLoop loop;
    talvesk::test::FakePageBrowser browser;
    loop.watch(browser);
    const talvesk::PreviewResult result =
        talvesk::test::runToEnd(loop, talvesk::writePreviewPage(browser, loop, set, address));
    check(result.ok(), "the preview is written", result.errorString);
    return browser.written.join(QString());
}

// The same set with every value replaced by plain letters: its markup is the shape to compare with.
QString plain(int index)
{
    return QStringLiteral("v") + QString::number(index);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QStringList input = talvesk::fuzz::fields(talvesk::fuzz::utf16Text(data, size));
    CollectedSet set;
    CollectedSet plainSet;
    PictureList *lists[] = {&set.mainPictures, &set.colourPictures, &set.descriptionPictures};
    PictureList *plainLists[] = {&plainSet.mainPictures, &plainSet.colourPictures,
                                 &plainSet.descriptionPictures};
    set.itemTitle = input.value(0);
    plainSet.itemTitle = plain(0);
    const QString address = input.value(1);
    // The pictures go round the three lists.
    QHash<QString, QString> standIns;
    for (int i = 2; i < input.size(); ++i) {
        const int l = (i - 2) % 3;
        if (lists[l]->isFull())
            break;
        lists[l]->append(input[i]);
        plainLists[l]->append(plain(i));
        standIns.insert(plain(i), input[i]);
    }

    const Tokens tokens = tokenize(written(set, address));
    const Tokens expected = tokenize(written(plainSet, plain(1)));
    check(!tokens.unknownReference, "every & in the page starts a reference the escaping writes", address);
    check(tokens.tags == expected.tags, "the page has the tags and attributes of a plain preview",
          tokens.tags.join(u'|'));

    // Every value comes back whole where the plain preview has its stand-in.
    QStringList values;
    for (QString value : expected.values) {
        if (value == QStringLiteral("宝贝标题:") + plain(0))
            value = QStringLiteral("宝贝标题:") + set.itemTitle;
        else if (value == QStringLiteral("宝贝网址:") + plain(1))
            value = QStringLiteral("宝贝网址:") + address;
        else if (value.endsWith(u' ') && standIns.contains(value.chopped(1)))
            value = standIns.value(value.chopped(1)) + u' ';
        values << value;
    }
    check(tokens.values == values, "the values come back whole in their places", tokens.values.join(u'|'));
    return 0;
}
