// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/Extraction.h"

#include "collect/CharacterReferences.h"
#include "collect/CleanAddress.h"

#include <QRegularExpression>

#include <re2/re2.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

// The five extraction rules on RE2, which matches in time linear in the markup.
//
// Semantics kept from the reference grammar (ECMAScript on UTF-16 text, non-Unicode mode):
// - RE2 runs in Latin-1 mode over a one-byte-per-code-unit image of the markup, made once per
//   routine call: an ASCII unit stays itself, every other unit (surrogates included) becomes
//   the byte 0x80. The patterns' literals are all ASCII, and in ECMAScript no non-ASCII unit
//   equals an ASCII letter even ignoring case (non-Unicode folding maps nothing from outside
//   ASCII into it), so a non-ASCII unit can only be taken by "."; 0x80 likewise. Byte offsets
//   are therefore UTF-16 positions, and the matched text is taken from the original markup,
//   so non-ASCII text and lone surrogates come back exactly as written.
// - "." is RE2's default: any character but a line feed, as the rules intend. A carriage
//   return, U+2028 and U+2029 are taken by "." (ECMAScript's own "." would refuse them).
// - (?i) in Latin-1 mode folds only the ASCII letters with each other: the two characters that
//   Unicode folds onto "s" and "k" (U+017F, U+212A) lie outside Latin-1 and are 0x80 here.
// - RE2's default leftmost-first semantics with lazy ".*?" give the same match as a
//   backtracking engine; each search starts at the end of the previous match.
//
// The colour rules were written against another engine's serialisation of the swatch style.
// Chromium keeps the page's own text (style="background:url(//...jpg_30x30.jpg) ...") or,
// once a script has touched the style, writes style="background: url(&quot;//...&quot;) ...".
// Each colour rule therefore also has a swatch pattern for these forms, whose address cannot
// leave its url() and so never its style attribute; the address it captures is rewritten as
// the written form's would be. Both patterns' matches share the slots in position order; a
// written-form match that overlaps a swatch match is dropped, so one swatch fills one slot
// with the clean address and a written-form match cannot run on into the next swatch.
//
// Character references are decoded last, in the address a rule has made: the patterns and their
// removals are about the markup's own text, and a decoded character is never taken for part of
// a thumbnail suffix, an opening or a "//" that the page did not write.

namespace talvesk {
namespace {

std::unique_ptr<RE2> compile(const char *pattern, bool caseInsensitive)
{
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingLatin1);
    options.set_longest_match(false); // leftmost-first, as a backtracking engine
    options.set_dot_nl(false);        // "." refuses only the line feed
    options.set_never_nl(false);
    options.set_case_sensitive(!caseInsensitive);
    options.set_log_errors(false);
    auto re = std::make_unique<RE2>(pattern, options);
    Q_ASSERT(re->ok());
    return re;
}

// The patterns, character for character, each named after what it matches: a swatch is a
// colour picture shown as a background, a thumbnail a small main picture.

// A 30x30 swatch in a single-quoted background style.
const RE2 &taobaoSwatch()
{
    static const auto re = compile(R"(style='background.*?\.jpg_30x30\.jpg)", false);
    return *re;
}
// A 50x50 thumbnail's data-src address.
const RE2 &taobaoThumbnail()
{
    static const auto re = compile(R"((data-src=")//.*?(\.jpg_50x50\.jpg))", false);
    return *re;
}
// Any src address, up to the first picture extension.
const RE2 &descriptionPicture()
{
    static const auto re =
        compile(R"((src="http:|src="https:|src=")//.*?(\.jpg|\.bmp|\.gif|\.png|\.webp))", true);
    return *re;
}
// A 60x60q90 thumbnail's src address.
const RE2 &tmallThumbnail()
{
    static const auto re = compile(R"((src=")//.*?(\.jpg_60x60q90\.jpg))", true);
    return *re;
}
// A 40x40q90 swatch in a double-quoted BACKGROUND style.
const RE2 &tmallSwatch()
{
    static const auto re = compile(R"(style="BACKGROUND.*?(\.jpg_40x40q90\.jpg))", false);
    return *re;
}

// The swatch style as Chromium serialises it, with group 1 the address up to and with the
// thumbnail suffix. The property and url() take any letter case, as the page wrote them.
std::string swatchPattern(const char *suffix)
{
    // Appended in place: GCC 12 misreads a chain of + on temporaries as out of bounds.
    std::string pattern = R"(style="[ \t]*(?i:background)[ \t]*:[ \t]*(?i:url)\([ \t]*(?:&quot;|')?)";
    pattern += R"((//[^"'()<>\t\n\f\r ]*?\.jpg_)";
    pattern += suffix;
    pattern += ')';
    return pattern;
}
const RE2 &taobaoSwatchAsSerialised()
{
    static const auto re = compile(swatchPattern(R"(30x30\.jpg)").c_str(), false);
    return *re;
}
const RE2 &tmallSwatchAsSerialised()
{
    static const auto re = compile(swatchPattern(R"(40x40q90\.jpg)").c_str(), false);
    return *re;
}

// The markup as RE2 sees it: one byte per UTF-16 code unit, ASCII kept, all else 0x80.
class MatchText
{
public:
    explicit MatchText(const QString &text) : m_text(text), m_size(static_cast<std::size_t>(text.size()))
    {
        m_bytes.reset(new char[m_size + 1]); // not zero-filled
        const ushort *in = text.utf16();
        char *out = m_bytes.get();
        std::size_t i = 0;
#ifdef __SSE2__
        // min(unit, 0x80) as unsigned 16-bit, then narrowed: sixteen units at a time.
        const __m128i limit = _mm_set1_epi16(0x80);
        for (; i + 16 <= m_size; i += 16) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i + 8));
            a = _mm_sub_epi16(a, _mm_subs_epu16(a, limit));
            b = _mm_sub_epi16(b, _mm_subs_epu16(b, limit));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(a, b));
        }
#endif
        for (; i < m_size; ++i)
            out[i] = static_cast<char>(in[i] < 0x80 ? in[i] : 0x80);
    }

    re2::StringPiece piece() const
    {
        return re2::StringPiece(m_bytes.get(), m_size);
    }
    std::size_t size() const
    {
        return m_size;
    }
    const QString &text() const
    {
        return m_text;
    }

private:
    const QString &m_text;
    std::size_t m_size;
    std::unique_ptr<char[]> m_bytes;
};

// Successive matches of one pattern, each search starting where the previous match ended.
// group 0 is the whole match; group 1 a pattern's first group.
class MatchCursor
{
public:
    MatchCursor(const RE2 &re, const MatchText &markup, int group)
        : m_re(re), m_markup(markup), m_group(group)
    {
    }

    // Finds the next match; false once there is none.
    bool next()
    {
        const re2::StringPiece text = m_markup.piece();
        if (m_pos >= m_markup.size())
            return false;
        re2::StringPiece groups[2];
        if (!m_re.Match(text, m_pos, m_markup.size(), RE2::UNANCHORED, groups, m_group + 1))
            return false;
        m_begin = static_cast<std::size_t>(groups[0].data() - text.data());
        m_end = m_begin + groups[0].size();
        m_groupBegin = static_cast<std::size_t>(groups[m_group].data() - text.data());
        m_groupSize = groups[m_group].size();
        m_pos = m_end; // no pattern matches empty text, so the search always moves on
        return true;
    }

    std::size_t begin() const { return m_begin; }
    std::size_t end() const { return m_end; }
    QString text() const
    {
        return m_markup.text().mid(static_cast<qsizetype>(m_groupBegin), static_cast<qsizetype>(m_groupSize));
    }

private:
    const RE2 &m_re;
    const MatchText &m_markup;
    int m_group;
    std::size_t m_pos = 0;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::size_t m_groupBegin = 0;
    std::size_t m_groupSize = 0;
};

// Runs one rule over the whole markup: the address made from match k goes to place k of the
// list. A match past the last place marks the list overflowed and ends the search.
template <typename Rewrite>
void applyRule(const RE2 &re, const MatchText &markup, PictureList &list, Rewrite rewrite)
{
    MatchCursor match(re, markup, 0);
    for (int k = 0; match.next(); ++k) {
        if (!list.put(k, cleanedAddress(decodeCharacterReferences(rewrite(match.text())))))
            return;
    }
}

// A colour rule: written-form matches and swatch matches fill the slots in position order.
// A written-form match that overlaps a swatch match gives way to it.
// The variant whose swatch is at this place of the markup: the text of the span in its list
// item, else the item's title; "" outside a list item. Looks no further than a swatch's reach.
QString swatchName(const QString &markup, std::size_t at)
{
    constexpr qsizetype kReach = 4096;
    const auto position = static_cast<qsizetype>(at);
    const qsizetype from = std::max<qsizetype>(0, position - kReach);
    const QStringView before = QStringView(markup).mid(from, position - from);
    const qsizetype opened = before.lastIndexOf(QLatin1String("<li"), -1, Qt::CaseInsensitive);
    if (opened < 0 || before.indexOf(QLatin1String("</li"), opened, Qt::CaseInsensitive) >= 0)
        return {};
    qsizetype closed = markup.indexOf(QLatin1String("</li"), position, Qt::CaseInsensitive);
    if (closed < 0 || closed - position > kReach)
        closed = std::min(markup.size(), position + kReach);
    const QString item = markup.mid(from + opened, closed - from - opened);
    static const QRegularExpression span(QStringLiteral(R"(<span\b[^>]*>([^<]*)</span>)"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString name = decodeCharacterReferences(span.match(item).captured(1)).simplified();
    if (name.isEmpty()) {
        static const QRegularExpression title(
            QStringLiteral(R"re(^<li\b[^>]*?\stitle\s*=\s*(?:"([^"]*)"|'([^']*)'))re"),
            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = title.match(item);
        name = decodeCharacterReferences(match.captured(1).isNull() ? match.captured(2) : match.captured(1))
                   .simplified();
    }
    return name;
}

template <typename Rewrite, typename SwatchRewrite>
void applyColourRule(const RE2 &written, const RE2 &swatch, const MatchText &markup, PictureList &list,
                     QStringList *names, Rewrite rewrite, SwatchRewrite swatchRewrite)
{
    MatchCursor w(written, markup, 0);
    MatchCursor e(swatch, markup, 1);
    bool hasW = w.next();
    bool hasE = e.next();
    int k = 0;
    const auto store = [&](const QString &address, std::size_t at) {
        if (!list.put(k++, cleanedAddress(decodeCharacterReferences(address))))
            return false;
        if (names)
            names->append(swatchName(markup.text(), at));
        return true;
    };
    while (hasW || hasE) {
        if (hasW && (!hasE || w.end() <= e.begin())) {
            if (!store(rewrite(w.text()), w.begin()))
                return;
            hasW = w.next();
        } else if (hasW && w.begin() < e.begin()) {
            hasW = w.next(); // runs on into the swatch
        } else {
            if (!store(swatchRewrite(e.text()), e.begin()))
                return;
            while (hasW && w.begin() < e.end())
                hasW = w.next(); // the same swatch
            hasE = e.next();
        }
    }
}

// Removals, then "//" -> "http://", all exact and case-sensitive (swatches and thumbnails).
QString removeAndAbsolutize(QString text, QLatin1String opening, QLatin1String thumbnail)
{
    if (!opening.isEmpty())
        text.remove(opening, Qt::CaseSensitive);
    text.remove(thumbnail, Qt::CaseSensitive);
    text.replace(QLatin1String("//"), QLatin1String("http://"), Qt::CaseSensitive);
    return text;
}

// A description picture's match: cut at the first backslash, drop the first five characters,
// prefix "http:" unless the rest begins with exactly "http".
QString descriptionAddress(QString text)
{
    const qsizetype backslash = text.indexOf(QLatin1Char('\\'));
    if (backslash >= 0)
        text.truncate(backslash);
    text = text.right(text.size() - 5);
    if (!text.startsWith(QLatin1String("http"), Qt::CaseSensitive))
        text.prepend(QLatin1String("http:"));
    return text;
}

} // namespace

void extractColourPictures(const QString &markup, PictureList &colourPictures, QStringList *colourNames)
{
    const MatchText text(markup);
    applyColourRule(
        taobaoSwatch(), taobaoSwatchAsSerialised(), text, colourPictures, colourNames,
        [](QString m) {
            return removeAndAbsolutize(std::move(m), QLatin1String("style='background: url(\""),
                                       QLatin1String("_30x30.jpg"));
        },
        [](QString address) {
            return removeAndAbsolutize(std::move(address), QLatin1String(), QLatin1String("_30x30.jpg"));
        });
}

void extractMainPictures(const QString &markup, PictureList &mainPictures)
{
    const MatchText text(markup);
    applyRule(taobaoThumbnail(), text, mainPictures, [](QString m) {
        return removeAndAbsolutize(std::move(m), QLatin1String("data-src=\""), QLatin1String("_50x50.jpg"));
    });
}

void extractDescriptionPictures(const QString &markup, PictureList &descriptionPictures)
{
    const MatchText text(markup);
    applyRule(descriptionPicture(), text, descriptionPictures,
              [](QString m) { return descriptionAddress(std::move(m)); });
}

void extractTmallPictures(const QString &markup, PictureList &mainPictures, PictureList &colourPictures,
                          QStringList *colourNames)
{
    const MatchText text(markup);
    applyRule(tmallThumbnail(), text, mainPictures, [](QString m) {
        return removeAndAbsolutize(std::move(m), QLatin1String("src=\""), QLatin1String("_60x60q90.jpg"));
    });
    applyColourRule(
        tmallSwatch(), tmallSwatchAsSerialised(), text, colourPictures, colourNames,
        [](QString m) {
            return removeAndAbsolutize(std::move(m), QLatin1String("style=\"BACKGROUND: url("),
                                       QLatin1String("_40x40q90.jpg"));
        },
        [](QString address) {
            return removeAndAbsolutize(std::move(address), QLatin1String(), QLatin1String("_40x40q90.jpg"));
        });
}

} // namespace talvesk
