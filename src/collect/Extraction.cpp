#include "collect/Extraction.h"

#include <re2/re2.h>

#include <QStringView>

#include <cstddef>
#include <memory>
#include <string>

// The five extraction rules of Part 1.2 on RE2, which matches in time linear in the markup.
//
// Semantics kept from the reference grammar (ECMAScript on UTF-16 text):
// - Matching runs on a UTF-8 copy of the markup, made once per routine call. Every UTF-16
//   code unit or surrogate pair becomes one code point; a lone surrogate becomes one U+FFFD.
//   None of these can meet a literal of the patterns, and "." takes each of them whole, so
//   the matches fall at the same places; the matched text is then taken from the original
//   UTF-16 markup by position, so a lone surrogate inside an address is kept as it was.
// - "." is RE2's default: any character but a line feed (the spec's definition).
// - Case-insensitive rules do not use RE2's (?i), which folds by Unicode (so "s" would also
//   match U+017F and "k" U+212A). ECMAScript's non-Unicode folding pairs only the ASCII letters
//   of these patterns with their ASCII partners, so each letter becomes a class like [sS].
// - RE2's default leftmost-first semantics with lazy ".*?" give the same match as a
//   backtracking engine; each search starts at the end of the previous match.

namespace talvesk {
namespace {

constexpr int kMaxMatches = PicList::kSlots;

// Spells every ASCII letter of a pattern as a class of both cases ("src" -> "[sS][rR][cC]").
// The patterns contain no escapes other than "\." and no classes of their own.
std::string caseless(const char *pattern)
{
    std::string out;
    for (const char *p = pattern; *p; ++p) {
        const char c = *p;
        if (c == '\\' && p[1]) {
            out += c;
            out += *++p;
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            const char lower = static_cast<char>(c | 0x20);
            out += '[';
            out += lower;
            out += static_cast<char>(lower & ~0x20);
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

std::unique_ptr<RE2> compile(const char *pattern, bool caseInsensitive)
{
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingUTF8);
    options.set_longest_match(false); // leftmost-first, as a backtracking engine
    options.set_dot_nl(false);        // "." refuses only the line feed
    options.set_never_nl(false);
    options.set_case_sensitive(true);
    options.set_log_errors(false);
    options.set_max_mem(64 << 20);
    auto re = std::make_unique<RE2>(caseInsensitive ? caseless(pattern) : std::string(pattern), options);
    Q_ASSERT(re->ok());
    return re;
}

// The patterns, character for character as Part 1.2 gives them.
const RE2 &rule1()
{
    static const auto re = compile(R"(style='background.*?\.jpg_30x30\.jpg)", false);
    return *re;
}
const RE2 &rule2()
{
    static const auto re = compile(R"((data-src=")//.*?(\.jpg_50x50\.jpg))", false);
    return *re;
}
const RE2 &rule3()
{
    static const auto re =
        compile(R"((src="http:|src="https:|src=")//.*?(\.jpg|\.bmp|\.gif|\.png|\.webp))", true);
    return *re;
}
const RE2 &rule4()
{
    static const auto re = compile(R"((src=")//.*?(\.jpg_60x60q90\.jpg))", true);
    return *re;
}
const RE2 &rule5()
{
    static const auto re = compile(R"(style="BACKGROUND.*?(\.jpg_40x40q90\.jpg))", false);
    return *re;
}

// The markup in UTF-8 for matching, with a forward-only map from byte offsets back to UTF-16
// positions. Built once per routine call and shared by the rules of that call.
class Utf8Markup
{
public:
    explicit Utf8Markup(QStringView text) : m_text(text)
    {
        const qsizetype n = text.size();
        m_bytes.resize(static_cast<std::size_t>(n) * 3);
        char *out = m_bytes.data();
        const char16_t *in = text.utf16();
        bool ascii = true;
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t u = in[i];
            if (u < 0x80) {
                *out++ = static_cast<char>(u);
                continue;
            }
            ascii = false;
            if (u < 0x800) {
                *out++ = static_cast<char>(0xC0 | (u >> 6));
                *out++ = static_cast<char>(0x80 | (u & 0x3F));
            } else if (u >= 0xD800 && u < 0xDC00 && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000) {
                const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(in[i + 1]) - 0xDC00);
                *out++ = static_cast<char>(0xF0 | (cp >> 18));
                *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                *out++ = static_cast<char>(0x80 | (cp & 0x3F));
                ++i;
            } else {
                // A lone surrogate becomes U+FFFD (3 bytes, one UTF-16 unit, see toUtf16).
                const char16_t c = (u >= 0xD800 && u < 0xE000) ? char16_t(0xFFFD) : u;
                *out++ = static_cast<char>(0xE0 | (c >> 12));
                *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *out++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        m_bytes.resize(static_cast<std::size_t>(out - m_bytes.data()));
        m_ascii = ascii;
    }

    re2::StringPiece piece() const { return re2::StringPiece(m_bytes.data(), m_bytes.size()); }
    std::size_t size() const { return m_bytes.size(); }
    QStringView text() const { return m_text; }

    // The UTF-16 position of a byte offset at a code point boundary. Offsets asked for must
    // not decrease between calls until rewind(); the walk is then linear in the markup.
    qsizetype toUtf16(std::size_t byteOffset)
    {
        if (m_ascii)
            return static_cast<qsizetype>(byteOffset);
        Q_ASSERT(byteOffset >= m_byte);
        const unsigned char *b = reinterpret_cast<const unsigned char *>(m_bytes.data());
        while (m_byte < byteOffset) {
            const unsigned char lead = b[m_byte];
            if (lead < 0x80) {
                m_byte += 1;
                m_unit += 1;
            } else if (lead < 0xE0) {
                m_byte += 2;
                m_unit += 1;
            } else if (lead < 0xF0) {
                m_byte += 3;
                m_unit += 1;
            } else {
                m_byte += 4;
                m_unit += 2;
            }
        }
        return m_unit;
    }

    void rewind()
    {
        m_byte = 0;
        m_unit = 0;
    }

private:
    QStringView m_text;
    std::string m_bytes;
    bool m_ascii = true;
    std::size_t m_byte = 0;
    qsizetype m_unit = 0;
};

// Runs one rule over the whole markup: the text of match k, rewritten, goes into slot k.
// Matches past slot 255 could never be stored, so the search ends there.
template<typename Rewrite>
void applyRule(const RE2 &re, Utf8Markup &markup, PicList &list, Rewrite rewrite)
{
    markup.rewind();
    const re2::StringPiece text = markup.piece();
    const std::size_t size = markup.size();
    std::size_t pos = 0;
    re2::StringPiece match;
    for (int k = 0; k < kMaxMatches && pos < size; ++k) {
        if (!re.Match(text, pos, size, RE2::UNANCHORED, &match, 1))
            break;
        const std::size_t begin = static_cast<std::size_t>(match.data() - text.data());
        const std::size_t end = begin + match.size();
        const qsizetype from = markup.toUtf16(begin);
        const qsizetype to = markup.toUtf16(end);
        list[k] = rewrite(markup.text().mid(from, to - from).toString());
        pos = end; // no pattern matches empty text, so the search always moves on
    }
}

// Removals, then "//" -> "http://", all exact and case-sensitive (rules 1, 2, 4, 5).
QString removeAndAbsolutize(QString text, QLatin1String opening, QLatin1String thumbnail)
{
    text.remove(opening, Qt::CaseSensitive);
    text.remove(thumbnail, Qt::CaseSensitive);
    text.replace(QLatin1String("//"), QLatin1String("http://"), Qt::CaseSensitive);
    return text;
}

// Rule 3: cut at the first backslash, drop the first five characters, prefix "http:" unless
// the rest begins with exactly "http".
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

void regMpicUrl(const QString &txts, PicList &colorPicUrls)
{
    Utf8Markup markup(txts);
    applyRule(rule1(), markup, colorPicUrls, [](QString m) {
        return removeAndAbsolutize(std::move(m), QLatin1String("style='background: url(\""),
                                   QLatin1String("_30x30.jpg"));
    });
}

void regMpicUrl1(const QString &txts, PicList &mpicUrls)
{
    Utf8Markup markup(txts);
    applyRule(rule2(), markup, mpicUrls, [](QString m) {
        return removeAndAbsolutize(std::move(m), QLatin1String("data-src=\""), QLatin1String("_50x50.jpg"));
    });
}

void regPrePicUrl(const QString &txts, PicList &descPicUrls)
{
    Utf8Markup markup(txts);
    applyRule(rule3(), markup, descPicUrls, [](QString m) { return descriptionAddress(std::move(m)); });
}

void regtmall(const QString &txts, PicList &mpicUrls, PicList &colorPicUrls)
{
    Utf8Markup markup(txts);
    applyRule(rule4(), markup, mpicUrls, [](QString m) {
        return removeAndAbsolutize(std::move(m), QLatin1String("src=\""), QLatin1String("_60x60q90.jpg"));
    });
    applyRule(rule5(), markup, colorPicUrls, [](QString m) {
        return removeAndAbsolutize(std::move(m), QLatin1String("style=\"BACKGROUND: url("),
                                   QLatin1String("_40x40q90.jpg"));
    });
}

} // namespace talvesk
