// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/Extraction.h"
#include "collect/CleanAddress.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

using talvesk::extractColourPictures;
using talvesk::extractDescriptionPictures;
using talvesk::extractMainPictures;
using talvesk::extractTmallPictures;
using talvesk::PictureList;

namespace {

QString s(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// A full list of recognisable old values, so that overwrites and untouched places both show.
PictureList marked(const QString &prefix = QStringLiteral("old"))
{
    PictureList list;
    for (int i = 0; i < PictureList::kLimit; ++i)
        list.append(prefix + QString::number(i));
    return list;
}

// ---------------------------------------------------------------------------------------
// Worked examples, one per rule.

TEST(Extraction, Rule1WorkedExample)
{
    PictureList colour;
    extractColourPictures(
        s("<a href=\"#\" style='background: url(\"//img.example/sku/red.jpg_30x30.jpg\") center "
          "no-repeat;'>"),
        colour);
    EXPECT_EQ(colour.value(0), QStringLiteral("http://img.example/sku/red.jpg"));
    EXPECT_EQ(colour.size(), 1);
}

// Each swatch carries its variant's name: the text of the span in its list item, else the
// item's title, decoded; a swatch outside any list item has none.
TEST(Extraction, SwatchesCarryTheirVariantNames)
{
    const QString swatch = QStringLiteral(
        "<li data-value=\"1:%1\"%2><a href=\"#\" style=\"background:url(//img.example/sku/%1.jpg_%3.jpg) "
        "center no-repeat;\">%4</a><i>已选中</i></li>");
    const QString taobao =
        swatch.arg(QStringLiteral("red"), QString(), QStringLiteral("30x30"),
                   QStringLiteral("<span>酒红 &amp; 黑</span>")) +
        swatch.arg(QStringLiteral("blue"), QStringLiteral(" title=\"雾霾蓝\""), QStringLiteral("30x30"),
                   QString()) +
        QStringLiteral("<a style=\"background:url(//img.example/sku/loose.jpg_30x30.jpg)\"></a>");
    PictureList colour;
    QStringList names;
    extractColourPictures(taobao, colour, &names);
    EXPECT_EQ(colour.value(2), QStringLiteral("http://img.example/sku/loose.jpg"));
    EXPECT_EQ(names, (QStringList{QStringLiteral("酒红 & 黑"), QStringLiteral("雾霾蓝"), QString()}));

    PictureList main;
    colour = PictureList();
    names.clear();
    extractTmallPictures(swatch.arg(QStringLiteral("red"), QString(), QStringLiteral("40x40q90"),
                                    QStringLiteral("<span>红</span>")),
                         main, colour, &names);
    EXPECT_EQ(colour.value(0), QStringLiteral("http://img.example/sku/red.jpg"));
    EXPECT_EQ(names, QStringList{QStringLiteral("红")});
}

TEST(Extraction, Rule2WorkedExample)
{
    PictureList main;
    extractMainPictures(s("<img data-src=\"//img.example/main/front.jpg_50x50.jpg\"><img "
                          "data-src=\"//img.example/main/back.jpg_50x50.jpg\">"),
                        main);
    EXPECT_EQ(main.value(0), QStringLiteral("http://img.example/main/front.jpg"));
    EXPECT_EQ(main.value(1), QStringLiteral("http://img.example/main/back.jpg"));
    EXPECT_EQ(main.size(), 2);
}

TEST(Extraction, Rule3WorkedExample)
{
    PictureList desc;
    extractDescriptionPictures(
        s("<img src=\"//img.example/desc/a.gif\"><IMG SRC=\"https://img.example/desc/b.png\"><img "
          "src=\"http://img.example/desc/c.jpg_q90.jpg\">"),
        desc);
    EXPECT_EQ(desc.value(0), QStringLiteral("http://img.example/desc/a.gif"));
    EXPECT_EQ(desc.value(1), QStringLiteral("https://img.example/desc/b.png"));
    EXPECT_EQ(desc.value(2), QStringLiteral("http://img.example/desc/c.jpg"));
    EXPECT_EQ(desc.size(), 3);
}

TEST(Extraction, Rules4And5WorkedExample)
{
    PictureList main;
    PictureList colour;
    extractTmallPictures(s("<img src=\"//img.example/tm/m1.jpg_60x60q90.jpg\"><a style=\"BACKGROUND: "
                           "url(//img.example/tm/blue.jpg_40x40q90.jpg)\">"),
                         main, colour);
    EXPECT_EQ(main.value(0), QStringLiteral("http://img.example/tm/m1.jpg"));
    EXPECT_EQ(main.size(), 1);
    EXPECT_EQ(colour.value(0), QStringLiteral("http://img.example/tm/blue.jpg"));
    EXPECT_EQ(colour.size(), 1);
}

// ---------------------------------------------------------------------------------------
// Swatch styles as Chromium serialises them: the page's own text, or url(&quot;...&quot;)
// once a script has touched the style.

// Each swatch form gives the written form's address, one slot per swatch, in markup order.
TEST(Extraction, SwatchStylesAsChromiumWritesThem)
{
    PictureList colour = marked();
    extractColourPictures(
        s("<li><a href=\"#\" style=\"background:url(//img.example/sku/red.jpg_30x30.jpg) center "
          "no-repeat;\"><span>红</span></a></li><li><a style=\"background: "
          "url(&quot;//img.example/sku/blue.jpg_30x30.jpg&quot;) center center no-repeat;\">蓝</a>"
          "<a style=\"Background : URL('//img.example/sku/green.jpg_30x30.jpg')\"></a></li>"),
        colour);
    EXPECT_EQ(colour.value(0), QStringLiteral("http://img.example/sku/red.jpg"));
    EXPECT_EQ(colour.value(1), QStringLiteral("http://img.example/sku/blue.jpg"));
    EXPECT_EQ(colour.value(2), QStringLiteral("http://img.example/sku/green.jpg"));
    EXPECT_EQ(colour.value(3), QStringLiteral("old3"));

    PictureList main;
    PictureList tmall = marked();
    extractTmallPictures(
        s("<a style=\"background: url(&quot;//img.example/tm/red.jpg_40x40q90.jpg&quot;) center center "
          "no-repeat; width: 20px;\"></a><a style=\"BACKGROUND:url(//img.example/tm/blue.jpg_40x40q90.jpg) "
          "center no-repeat;\"></a>"),
        main, tmall);
    EXPECT_EQ(tmall.value(0), QStringLiteral("http://img.example/tm/red.jpg"));
    // Where the written form starts at the same swatch, the clean address wins.
    EXPECT_EQ(tmall.value(1), QStringLiteral("http://img.example/tm/blue.jpg"));
    EXPECT_EQ(tmall.value(2), QStringLiteral("old2"));
    EXPECT_EQ(main.size(), 0);
}

QString repeated(const char *form, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QString::fromUtf8(form).arg(i);
    return text;
}

// Which lists of the set overflowed: main, colour, description.
std::array<bool, 3> overflowed(const talvesk::CollectedSet &set)
{
    return {set.mainPictures.overflowed(), set.colourPictures.overflowed(),
            set.descriptionPictures.overflowed()};
}

// Past 256 matches a list drops the rest and says so until cleared, also after a later short fill.
TEST(Extraction, MatchesPastTheLastSlotAreNoticed)
{
    talvesk::CollectedSet set;
    extractMainPictures(repeated("<img data-src=\"//m/%1.jpg_50x50.jpg\">", 256), set.mainPictures);
    extractTmallPictures(repeated("<a style=\"BACKGROUND:url(//c/%1.jpg_40x40q90.jpg)\"></a>", 256),
                         set.mainPictures, set.colourPictures);
    extractDescriptionPictures(repeated("<img src=\"//d/%1.jpg\">\n", 256), set.descriptionPictures);
    EXPECT_EQ(set.mainPictures.value(255), QStringLiteral("http://m/255.jpg"));
    EXPECT_EQ(set.colourPictures.value(255), QStringLiteral("http://c/255.jpg"));
    EXPECT_EQ(set.descriptionPictures.value(255), QStringLiteral("http://d/255.jpg"));
    EXPECT_EQ(overflowed(set), (std::array{false, false, false}));

    extractDescriptionPictures(repeated("<img src=\"//d/%1.jpg\">\n", 257), set.descriptionPictures);
    EXPECT_EQ(overflowed(set), (std::array{false, false, true}));

    extractMainPictures(repeated("<img data-src=\"//m/%1.jpg_50x50.jpg\">", 257), set.mainPictures);
    extractTmallPictures(
        repeated("<img src=\"//t/%1.jpg_60x60q90.jpg\">", 3) +
            repeated("<a style=\"background: url(&quot;//c/%1.jpg_40x40q90.jpg&quot;)\">", 300),
        set.mainPictures, set.colourPictures);
    extractColourPictures(QStringLiteral("<a style=\"background:url(//j/0.jpg_30x30.jpg)\">"),
                          set.colourPictures);
    EXPECT_EQ(overflowed(set), (std::array{true, true, true}));
    EXPECT_EQ(set.mainPictures.value(0), QStringLiteral("http://t/0.jpg"));
    EXPECT_EQ(set.mainPictures.value(255), QStringLiteral("http://m/255.jpg"));
    EXPECT_EQ(set.colourPictures.value(0), QStringLiteral("http://j/0.jpg"));
    EXPECT_EQ(set.colourPictures.value(255), QStringLiteral("http://c/255.jpg"));
    ASSERT_EQ(set.descriptionPictures.size(), PictureList::kLimit);
    for (int i = 0; i < PictureList::kLimit; ++i)
        ASSERT_EQ(set.descriptionPictures.value(i), QStringLiteral("http://d/%1.jpg").arg(i));

    set.mainPictures.clear();
    set.descriptionPictures.clear();
    EXPECT_EQ(overflowed(set), (std::array{false, true, false}));
}

TEST(Extraction, LongSingleLineDoesNotCrash)
{
    QString text;
    const QString opening = QStringLiteral("src=\"//data-src=\"//style='background style=\"BACKGROUND");
    while (text.size() < (4 << 20))
        text += opening;
    text += QStringLiteral("x.jpg_60x60q90.jpg_50x50.jpg_40x40q90.jpg_30x30.jpg");
    PictureList a = PictureList(), b = PictureList(), c = PictureList(), d = PictureList();
    extractColourPictures(text, a);
    extractMainPictures(text, b);
    extractDescriptionPictures(text, c);
    extractTmallPictures(text, d, a);
    // Leftmost start: the first opening of each rule, running to the one closing.
    EXPECT_TRUE(c.value(0).startsWith(QStringLiteral("http://data-src=")));
    EXPECT_TRUE(c.value(0).endsWith(QStringLiteral("x.jpg")));
    EXPECT_EQ(c.size(), 1);
    EXPECT_TRUE(b.value(0).endsWith(QStringLiteral("x.jpg_60x60q90.jpg")));
    EXPECT_TRUE(d.value(0).endsWith(QStringLiteral("x.jpg")));
    EXPECT_TRUE(a.value(0).endsWith(QStringLiteral("x.jpg_60x60q90.jpg_50x50.jpg")));
}

// ---------------------------------------------------------------------------------------
// Differential test against std::regex (ECMAScript) on UTF-16 code units.

struct OracleRule
{
    std::wregex literal; // the pattern exactly as written
    std::wregex lfOnly;  // the same with "." spelled [^\n], the rules' definition of "."
    std::function<QString(const QString &)> rewrite;
};

QString removeAll(QString text, const QString &what)
{
    return text.replace(what, QString(), Qt::CaseSensitive);
}

QString absolute(QString text)
{
    return text.replace(QStringLiteral("//"), QStringLiteral("http://"), Qt::CaseSensitive);
}

std::wstring toW(const QString &text);
QString fromW(const std::wstring &text);

// The stored address: character references undone in one pass, valid characters only.
QString decodedReferences(const QString &text)
{
    static const std::wregex reference(LR"(&(amp|quot|apos|lt|gt|nbsp);|&#([0-9]+);|&#[xX]([0-9a-fA-F]+);)");
    static const std::wstring names[] = {L"amp", L"quot", L"apos", L"lt", L"gt", L"nbsp"};
    static const wchar_t characters[] = {L'&', L'"', L'\'', L'<', L'>', L'\u00A0'};
    const std::wstring w = toW(text);
    std::wstring out;
    auto copied = w.cbegin();
    for (auto it = std::wsregex_iterator(w.begin(), w.end(), reference); it != std::wsregex_iterator();
         ++it) {
        const std::wsmatch &m = *it;
        out.append(copied, m[0].first);
        copied = m[0].second;
        if (m[1].matched) {
            out += characters[std::find(std::begin(names), std::end(names), m.str(1)) - std::begin(names)];
            continue;
        }
        const std::wstring digits = m[2].matched ? m.str(2) : m.str(3);
        const std::size_t significant = digits.find_first_not_of(L'0');
        const unsigned long long c =
            significant == std::wstring::npos || digits.size() - significant > 8
                ? (significant == std::wstring::npos ? 0 : ~0ull)
                : std::stoull(digits.substr(significant), nullptr, m[2].matched ? 10 : 16);
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            out += m.str(0);
        } else if (c > 0xFFFF) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    out.append(copied, w.cend());
    return fromW(out);
}

OracleRule oracle(const std::wstring &pattern, bool icase, std::function<QString(const QString &)> rewrite)
{
    auto flags = std::regex::ECMAScript;
    if (icase)
        flags |= std::regex::icase;
    std::wstring lf;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'\\') {
            lf += pattern.substr(i, 2);
            ++i;
        } else if (pattern[i] == L'.') {
            lf += L"[^\\n]";
        } else {
            lf += pattern[i];
        }
    }
    return {std::wregex(pattern, flags), std::wregex(lf, flags), [rewrite](const QString &match) {
                return talvesk::cleanedAddress(decodedReferences(rewrite(match)));
            }};
}

std::wstring toW(const QString &text)
{
    std::wstring out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        out += static_cast<wchar_t>(c.unicode());
    return out;
}

QString fromW(const std::wstring &text)
{
    QString out;
    for (wchar_t c : text)
        out += QChar(static_cast<char16_t>(c));
    return out;
}

// What the list must hold after the rule ran over the text.
PictureList expected(const std::wregex &re, const std::function<QString(const QString &)> &rewrite,
                     const QString &text, PictureList list, int *matchCount)
{
    const std::wstring w = toW(text);
    int k = 0;
    for (auto it = std::wsregex_iterator(w.begin(), w.end(), re); it != std::wsregex_iterator(); ++it, ++k) {
        if (k < PictureList::kLimit)
            list.put(k, rewrite(fromW(it->str())));
    }
    *matchCount = k;
    return list;
}

std::vector<OracleRule> &oracleRules()
{
    static std::vector<OracleRule> rules = [] {
        std::vector<OracleRule> r;
        r.push_back(oracle(LR"(style='background.*?\.jpg_30x30\.jpg)", false, [](const QString &m) {
            return absolute(removeAll(removeAll(m, QStringLiteral("style='background: url(\"")),
                                      QStringLiteral("_30x30.jpg")));
        }));
        r.push_back(oracle(LR"((data-src=")//.*?(\.jpg_50x50\.jpg))", false, [](const QString &m) {
            return absolute(
                removeAll(removeAll(m, QStringLiteral("data-src=\"")), QStringLiteral("_50x50.jpg")));
        }));
        r.push_back(oracle(LR"((src="http:|src="https:|src=")//.*?(\.jpg|\.bmp|\.gif|\.png|\.webp))", true,
                           [](const QString &m) {
                               // (a) first piece of a split at "\"; (b) last length-5; (c) prefix test.
                               QString cut = m.split(QLatin1Char('\\')).first();
                               QString slot = cut.right(cut.length() - 5);
                               if (slot.left(4) != QStringLiteral("http"))
                                   slot = QStringLiteral("http:") + slot;
                               return slot;
                           }));
        r.push_back(oracle(LR"((src=")//.*?(\.jpg_60x60q90\.jpg))", true, [](const QString &m) {
            return absolute(
                removeAll(removeAll(m, QStringLiteral("src=\"")), QStringLiteral("_60x60q90.jpg")));
        }));
        r.push_back(oracle(LR"(style="BACKGROUND.*?(\.jpg_40x40q90\.jpg))", false, [](const QString &m) {
            return absolute(removeAll(removeAll(m, QStringLiteral("style=\"BACKGROUND: url(")),
                                      QStringLiteral("_40x40q90.jpg")));
        }));
        return r;
    }();
    return rules;
}

// Swatch styles as Chromium writes them (Taobao's, then Tmall's), group 1 the address with its
// suffix.
const std::wregex &swatchStyle(std::size_t rule)
{
    static const std::wstring opening = LR"(style="[ \t]*[bB][aA][cC][kK][gG][rR][oO][uU][nN][dD][ \t]*:)"
                                        LR"([ \t]*[uU][rR][lL]\([ \t]*(?:&quot;|')?)"
                                        LR"((//[^"'()<>\t\n\f\r ]*?\.jpg_)";
    static const std::wregex taobaoSwatch(opening + LR"(30x30\.jpg))");
    static const std::wregex tmallSwatch(opening + LR"(40x40q90\.jpg))");
    return rule == 0 ? taobaoSwatch : tmallSwatch;
}

// A colour rule on text with swatch styles: every swatch match keeps its clean address, the
// written-form matches that overlap none keep theirs, all in position order.
PictureList expectedColours(const std::wregex &written,
                            const std::function<QString(const QString &)> &rewrite, std::size_t rule,
                            const QString &text, PictureList list, int *matchCount)
{
    const QString suffix = rule == 0 ? QStringLiteral("_30x30.jpg") : QStringLiteral("_40x40q90.jpg");
    struct Found
    {
        std::ptrdiff_t begin, end;
        QString address;
    };
    const std::wstring w = toW(text);
    std::vector<Found> swatches;
    for (auto it = std::wsregex_iterator(w.begin(), w.end(), swatchStyle(rule));
         it != std::wsregex_iterator(); ++it)
        swatches.push_back(
            {it->position(), it->position() + it->length(),
             talvesk::cleanedAddress(decodedReferences(absolute(removeAll(fromW(it->str(1)), suffix))))});
    std::vector<Found> all = swatches;
    for (auto it = std::wsregex_iterator(w.begin(), w.end(), written); it != std::wsregex_iterator(); ++it) {
        const Found found{it->position(), it->position() + it->length(), rewrite(fromW(it->str()))};
        if (std::none_of(swatches.begin(), swatches.end(),
                         [&](const Found &e) { return found.begin < e.end && e.begin < found.end; }))
            all.push_back(found);
    }
    std::sort(all.begin(), all.end(), [](const Found &x, const Found &y) { return x.begin < y.begin; });
    for (std::size_t k = 0; k < all.size() && k < PictureList::kLimit; ++k)
        list.put(static_cast<int>(k), all[k].address);
    *matchCount = static_cast<int>(all.size());
    return list;
}

// The literal ECMAScript "." also refuses CR, U+2028 and U+2029; the rules' "." refuses only
// the line feed. The two agree on text without those three (CR LF pairs included).
bool literalDotAgrees(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0x2028 || c == 0x2029)
            return false;
        if (c == u'\r' && (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n')))
            return false;
    }
    return true;
}

// Short texts built from the patterns' own pieces: openings, closings, "//", quotes, line
// ends, letter case variants and non-ASCII text (case-fold traps, surrogates, U+2028/9).
QString randomText(std::mt19937 &rng)
{
    static const auto list = [](std::initializer_list<const char *> items) {
        QStringList p;
        for (const char *item : items)
            p << QString::fromUtf8(item);
        return p;
    };
    // Per rule: openings (right and near-miss spellings) and closings.
    static const std::vector<std::pair<QStringList, QStringList>> groups = {
        {list({"style='background: url(\"", "style='background", "style='background:url(",
               "STYLE='BACKGROUND", "style='Background", "style='background: url('"}),
         list({".jpg_30x30.jpg", ".JPG_30X30.JPG", "_30x30.jpg", ".jpg_30x30", ".jpg_30x30.jpg_30x30.jpg"})},
        {list({"data-src=\"", "DATA-SRC=\"", "data-src='", "Data-src=\"", "data-src=\"//"}),
         list({".jpg_50x50.jpg", ".jpg_50X50.jpg", "_50x50.jpg", ".jpg_50x50.jpg_50x50.jpg"})},
        {list({"src=\"", "SRC=\"", "Src=\"", "sRc=\"", "src=\"http:", "src=\"https:", "SRC=\"HTTP:",
               "src=\"HTTPS:", "src='", "src=", "src=\"//", "src=\"http://", "src=\"https://", "ſrc=\"//"}),
         list({".jpg", ".JPG", ".Jpg", ".bmp", ".BMP", ".gif", ".GiF", ".gİf", ".png", ".PNG", ".webp",
               ".WEBP", ".jpeg", ".jp", "."})},
        {list({"src=\"", "SRC=\"", "data-src=\"", "sRC=\"", "src='"}),
         list({".jpg_60x60q90.jpg", ".JPG_60X60Q90.JPG", "_60x60q90.jpg", ".jpg_60x60q90"})},
        {list({"style=\"BACKGROUND: url(", "style=\"BACKGROUND", "style=\"background: url(",
               "STYLE=\"BACKGROUND: url(", "style=\"BACKGROUND:url("}),
         list({".jpg_40x40q90.jpg", ".Jpg_40x40q90.jpg", "_40x40q90.jpg", ".jpg_40x40q90.jpg)"})},
    };
    static const QStringList fillers = [&] {
        QStringList p =
            list({"//", "//", "//", "/", "\"", "'", "\n", "\r", "\r\n", "\\", " ", "a", "x", "q90",
                  "http:", "https:", "HTTP:", "<img ", "\">", "\")", ")", "=", "jpg", "é", "中文", "ſ",
                  "\u212A", "\u0130", "\u0131", "😀", "\u2028", "\u2029", ": url(\"", ": url(",
                  // Units whose low byte is a line feed, a quote, "/", ".", "s".
                  "\u010A", "\u0122", "\u012F", "\u022E", "\u0173", "\uFF0E", "\u9A9A",
                  // References, also ones that spell a suffix or "//" and ones kept as written.
                  "&amp;", "&quot;", "&#38;", "&#x1F600;", "&#95;", "&#47;&#47;", "&#0;", "&#xD800;",
                  "&amp;amp;", "&am", "&"});
        p << QString(QChar(0xD800)) << QString(QChar(0xDFFF));
        return p;
    }();
    const auto pick = [&rng](const QStringList &from) {
        return from.at(std::uniform_int_distribution<qsizetype>(0, from.size() - 1)(rng));
    };
    const auto chance = [&rng](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(rng) < percent;
    };
    const auto anyGroup = [&rng]() -> const std::pair<QStringList, QStringList> & {
        return groups[std::uniform_int_distribution<std::size_t>(0, groups.size() - 1)(rng)];
    };
    std::uniform_int_distribution<int> segments(1, 4);
    std::uniform_int_distribution<int> fill(0, 3);
    QString text;
    const int n = segments(rng);
    for (int i = 0; i < n; ++i) {
        // Mostly an opening, "//", a few fillers and a closing of one rule; sometimes another
        // rule's piece, a missing piece or loose fillers.
        const auto &group = anyGroup();
        if (chance(85))
            text += pick(chance(85) ? group.first : anyGroup().first);
        if (chance(75))
            text += QStringLiteral("//");
        for (int f = fill(rng); f > 0; --f)
            text += pick(fillers);
        if (chance(85))
            text += pick(chance(80) ? group.second : anyGroup().second);
        for (int f = fill(rng) / 2; f > 0; --f)
            text += pick(fillers);
    }
    return text;
}

TEST(ExtractionDifferential, AgreesWithEcmaScriptOracle)
{
    std::mt19937 rng(20240531u);
    auto &rules = oracleRules();
    const int kTexts = 25000;
    std::vector<int> textsWithMatch(rules.size(), 0);
    int literalCompared = 0;
    int swatchTexts = 0;
    int failures = 0;
    // Texts the random ones meet only by chance go first: duplicates, the first extension, "\",
    // line ends, letter case, references, surrogates, case-fold traps, swatches among written forms,
    // swatches that end outside their style, units whose low byte is ASCII in texts long enough
    // for every conversion path.
    QStringList seeds{
        QString(),
        QStringLiteral("<p>no pictures</p><img src='//x/a.jpg_60x60q90.jpg'>"),
        QStringLiteral("<img src=\"//a/p.png\"><img src=\"//a/p.png\">"),
        QStringLiteral("<img src=\"//d/p.png_480x480.jpg\">"),
        QStringLiteral("data-src=\"//a/x.jpg_50x50.jpg_50x50.jpg\""),
        QStringLiteral("src=\"//d\\e.jpg"),
        QStringLiteral("data-src=\"//a\\b.jpg_50x50.jpg"),
        QStringLiteral("src=\"//a/\nsrc=\"//b/c.gif"),
        QStringLiteral("style='background: url(\"//a\n.jpg_30x30.jpg"),
        QStringLiteral("src=\"//a/\rb.jpg"),
        QStringLiteral("src=\"//a/\r\nb.jpg"),
        QStringLiteral("<IMG SRC=\"//A/B.JPG\"><IMG SRC=\"HTTP://A/B.WEBP\">"),
        QStringLiteral("<IMG SRC=\"//a/m.JPG_60X60Q90.JPG\"><IMG DATA-SRC=\"//a/m.jpg_50x50.jpg\">"),
        QStringLiteral("<a STYLE='BACKGROUND: url(\"//a/c.jpg_30x30.jpg\")'><a style=\"Background "
                       "url(//a/c.jpg_40x40q90.jpg)\">"),
        QStringLiteral("<img data-src=\"//a/m.jpg_60x60q90.jpg\">"),
        QStringLiteral("style='background:url(//a//b.jpg_30x30.jpg"),
        QStringLiteral("<a style='background: url(\"//i/a.jpg?x=1&amp;y=2.jpg_30x30.jpg\")'>"),
        QStringLiteral("<img data-src=\"//i/a.jpg&#95;50x50.jpg_50x50.jpg\"><img "
                       "data-src=\"//i/a&#47;&#47;b.jpg_50x50.jpg\">"),
        QStringLiteral(
            "<img src=\"//i/a&lt;b&gt;&quot;&#92;c&amp;.gif\"><img src=\"https://i/a&amp;amp;\\b.png\">"),
        QStringLiteral("<img src=\"//i/a&#x26;b&#38;c.jpg_60x60q90.jpg\"><a style=\"BACKGROUND: "
                       "url(//i/a&amp;b.jpg_40x40q90.jpg)\">"),
        QStringLiteral("<a style=\"background: url(&quot;//i/a&amp;b&#39;.jpg_30x30.jpg&quot;)\">"),
        QStringLiteral("<a style=\"background: url(&quot;//i/a&amp;b.jpg_40x40q90.jpg&quot;)\">"),
        QStringLiteral("src=\"//图片/a\xD800"
                       "😀b.png\" src=\"//x\xDC00"
                       ".gif src=\"//y.gif\xDBFF"),
        QStringLiteral("<img ſrc=\"//a/b.gif\"><img src=\"//a/b.gİf.png\">"),
        QStringLiteral("<a style=\"background:url(//a/1.jpg_30x30.jpg)\"></a><a style='background: "
                       "url(\"//a/2.jpg_30x30.jpg\")'>"
                       "</a><a style=\"background: url(&quot;//a/3.jpg_30x30.jpg&quot;)\"></a>"),
        QStringLiteral(
            "<a style=\"background:url(//a/red.png_30x30.png) center\"></a><img src=\"//a/x.jpg_30x30.jpg\">"
            "<a style=\"background: url(&quot;//a/b.png&quot;), url(&quot;//a/c.jpg_30x30.jpg&quot;)\">"),
        QStringLiteral("<a style=\"BACKGROUND: url(//a/red.png_40x40q90.jpg)\"></a>"
                       "<a style=\"background:url(//a/blue.jpg_40x40q90.jpg)\"></a>"),
        QStringLiteral("0123456789abcdef<img src=\"//img.example/\u010A\uFF0A\xD83D/b.gif\">"),
    };
    const QString ascii = QStringLiteral("<img src=\"//img.example/a.gif\"> padding padding padding");
    QString shifted, high;
    for (QChar c : ascii) {
        shifted += QChar(static_cast<char16_t>(0x100 + c.unicode()));
        high += QChar(static_cast<char16_t>(0xFF00 + c.unicode()));
    }
    seeds << shifted + shifted << high + high + high;
    for (int t = 0; t < kTexts && failures < 20; ++t) {
        const QString text = t < seeds.size() ? seeds[t] : randomText(rng);
        const PictureList start = marked(QStringLiteral("s") + QString::number(t % 7) + QLatin1Char('-'));

        std::vector<PictureList> got(rules.size(), start);
        extractColourPictures(text, got[0]);
        extractMainPictures(text, got[1]);
        extractDescriptionPictures(text, got[2]);
        extractTmallPictures(text, got[3], got[4]);

        const bool literalToo = literalDotAgrees(text);
        literalCompared += literalToo ? 1 : 0;
        for (std::size_t r = 0; r < rules.size(); ++r) {
            const bool swatches = (r == 0 || r == 4) && std::regex_search(toW(text), swatchStyle(r));
            swatchTexts += swatches ? 1 : 0;
            const auto oracleFor = [&](const std::wregex &re, int *matches) {
                return swatches ? expectedColours(re, rules[r].rewrite, r, text, start, matches)
                                : expected(re, rules[r].rewrite, text, start, matches);
            };
            int matches = 0;
            const PictureList want = oracleFor(rules[r].lfOnly, &matches);
            if (matches > 0)
                ++textsWithMatch[r];
            int literalMatches = 0;
            const PictureList wantLiteral = literalToo ? oracleFor(rules[r].literal, &literalMatches) : want;
            if (got[r].addresses() != want.addresses() || got[r].addresses() != wantLiteral.addresses()) {
                ADD_FAILURE() << "rule " << (r + 1) << " text "
                              << text.toUtf8().toPercentEncoding().constData() << "\n got  "
                              << got[r].addresses().join(u' ').toStdString() << "\n want "
                              << want.addresses().join(u' ').toStdString() << "\n literal "
                              << wantLiteral.addresses().join(u' ').toStdString();
                ++failures;
            }
        }
    }
    // The texts must exercise every rule and mostly be comparable with the literal pattern.
    for (std::size_t r = 0; r < rules.size(); ++r)
        EXPECT_GT(textsWithMatch[r], kTexts / 20) << "rule " << (r + 1) << " rarely matched";
    EXPECT_GT(literalCompared, kTexts / 2);
    EXPECT_GT(swatchTexts, kTexts / 100) << "swatch styles rarely met";
    std::printf("differential: %d texts, %d also against the literal pattern; texts with a match per rule:",
                kTexts, literalCompared);
    for (int m : textsWithMatch)
        std::printf(" %d", m);
    std::printf("; %d colour-rule texts with a swatch style\n", swatchTexts);
}

} // namespace
