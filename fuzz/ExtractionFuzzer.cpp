// SPDX-License-Identifier: GPL-3.0-or-later
// The extraction rules on any markup: no crash, the lists filled from slot 0 without gaps, and
// every stored address made by its rule's rewrites from a piece of one line of the markup, its
// character references then decoded. Decoding itself never makes a lone surrogate or a control
// character that its text did not hold.

#include "FuzzInput.h"

#include "collect/CharacterReferences.h"
#include "collect/CleanAddress.h"
#include "collect/Extraction.h"
#include "collect/PictureList.h"

#include <cstddef>
#include <cstdint>

using talvesk::PictureList;
using talvesk::fuzz::check;

namespace {

// One way an address can be written: from an opening to the nearest thumbnail suffix after it
// (the rules' ".*?"), on one line, then the rule's removals and "//" made "http://".
struct Form
{
    QLatin1String opening; // where a match may start
    QLatin1String suffix;  // where it ends
    Qt::CaseSensitivity matchCase;
    QLatin1String removedOpening; // removed from the match, may be empty
    QLatin1String removedSuffix;
    bool swatch; // inside url(): none of " ' ( ) < > or white space before the suffix
};

const Form kColourWritten{
    QLatin1String("style='background"),         QLatin1String(".jpg_30x30.jpg"), Qt::CaseSensitive,
    QLatin1String("style='background: url(\""), QLatin1String("_30x30.jpg"),     false};
const Form kColourSwatch{QLatin1String("//"), QLatin1String(".jpg_30x30.jpg"), Qt::CaseSensitive,
                         QLatin1String(),     QLatin1String("_30x30.jpg"),     true};
const Form kMain{QLatin1String("data-src=\"//"), QLatin1String(".jpg_50x50.jpg"), Qt::CaseSensitive,
                 QLatin1String("data-src=\""),   QLatin1String("_50x50.jpg"),     false};
const Form kTmallMain{QLatin1String("src=\"//"), QLatin1String(".jpg_60x60q90.jpg"), Qt::CaseInsensitive,
                      QLatin1String("src=\""),   QLatin1String("_60x60q90.jpg"),     false};
const Form kTmallColourWritten{
    QLatin1String("style=\"BACKGROUND"),       QLatin1String(".jpg_40x40q90.jpg"), Qt::CaseSensitive,
    QLatin1String("style=\"BACKGROUND: url("), QLatin1String("_40x40q90.jpg"),     false};
const Form kTmallColourSwatch{QLatin1String("//"), QLatin1String(".jpg_40x40q90.jpg"), Qt::CaseSensitive,
                              QLatin1String(),     QLatin1String("_40x40q90.jpg"),     true};

// Past this much candidate text an input is only checked for crashes and slot order: a line of
// thousands of openings would otherwise cost seconds.
constexpr qsizetype kCandidateBudget = 1 << 20;

bool outsideUrl(QChar c)
{
    return c == u'"' || c == u'\'' || c == u'(' || c == u')' || c == u'<' || c == u'>' || c == u'\t' ||
           c == u'\n' || c == u'\f' || c == u'\r' || c == u' ';
}

// The addresses the form can make from this markup; false when over the budget.
bool candidates(const QString &markup, const Form &form, QStringList &out, int &starts)
{
    qsizetype budget = kCandidateBudget;
    for (qsizetype s = markup.indexOf(form.opening, 0, form.matchCase); s >= 0;
         s = markup.indexOf(form.opening, s + 1, form.matchCase)) {
        ++starts;
        const qsizetype e = markup.indexOf(form.suffix, s + form.opening.size(), form.matchCase);
        if (e < 0)
            continue;
        const qsizetype end = e + form.suffix.size();
        const QStringView piece = QStringView(markup).mid(s, end - s);
        if (piece.contains(u'\n'))
            continue;
        if (form.swatch) {
            bool inside = true;
            for (const QChar c : piece.left(e - s))
                inside = inside && !outsideUrl(c);
            if (!inside)
                continue;
        }
        budget -= piece.size();
        if (budget < 0)
            return false;
        QString address = piece.toString();
        if (!form.removedOpening.isEmpty())
            address.remove(form.removedOpening, Qt::CaseSensitive);
        address.remove(form.removedSuffix, Qt::CaseSensitive);
        address.replace(QLatin1String("//"), QLatin1String("http://"), Qt::CaseSensitive);
        out.append(talvesk::cleanedAddress(talvesk::decodeCharacterReferences(address)));
    }
    return true;
}

// Runs the forms of one list and checks every filled slot against them.
void checkList(const QString &markup, const PictureList &list, std::initializer_list<const Form *> forms,
               const char *name)
{
    const int filled = list.size();
    check(filled <= PictureList::kLimit, "at most the limit", QString::fromLatin1(name));
    check(!list.overflowed() || list.isFull(), "a list that dropped matches is full",
          QString::fromLatin1(name));

    QStringList made;
    int starts = 0;
    bool complete = true;
    for (const Form *form : forms)
        complete = candidates(markup, *form, made, starts) && complete;
    check(filled <= starts, "no more addresses than openings in the markup", QString::fromLatin1(name));
    for (int k = 0; k < filled; ++k) {
        const QString &address = list.at(k);
        check(!address.contains(u'\n'), "an address holds no line feed", address);
        if (complete)
            check(made.contains(address), "the address comes from a piece of the markup by its rule",
                  address);
    }
}

bool endsWithPictureExtension(QStringView text)
{
    for (const char *extension : {".jpg", ".bmp", ".gif", ".png", ".webp"}) {
        if (text.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// What a description address can be made of: the text after a src=" that is "//…" or
// "http(s)://…", up to a picture extension or to a backslash on its line, with "http:" in front
// unless it already starts "http", then decoded. False when over the budget.
bool descriptionCandidates(const QString &markup, QStringList &out)
{
    qsizetype budget = kCandidateBudget;
    const QLatin1String opening("src=\"");
    for (qsizetype at = markup.indexOf(opening, 0, Qt::CaseInsensitive); at >= 0;
         at = markup.indexOf(opening, at + 1, Qt::CaseInsensitive)) {
        const qsizetype from = at + opening.size();
        const QStringView rest = QStringView(markup).mid(from);
        if (!rest.startsWith(u"//") && !rest.startsWith(u"http://", Qt::CaseInsensitive) &&
            !rest.startsWith(u"https://", Qt::CaseInsensitive))
            continue;
        for (qsizetype end = from + 1; end <= markup.size(); ++end) {
            if (--budget < 0)
                return false;
            const QStringView written = QStringView(markup).mid(from, end - from);
            const QChar last = written.back();
            if (last == u'\n')
                break;
            const bool cut = last == u'\\';
            if (!cut && !endsWithPictureExtension(written))
                continue;
            const QStringView address = cut ? written.chopped(1) : written;
            budget -= address.size();
            if (budget < 0)
                return false;
            const QString slot = address.startsWith(u"http") ? address.toString()
                                                             : QStringLiteral("http:") + address.toString();
            out.append(talvesk::cleanedAddress(talvesk::decodeCharacterReferences(slot)));
            if (cut)
                break;
        }
    }
    return true;
}

void checkDescriptions(const QString &markup, const PictureList &list)
{
    const int filled = list.size();
    check(filled <= PictureList::kLimit, "at most the limit", QString());
    check(!list.overflowed() || list.isFull(), "a list that dropped matches is full", QString());
    qsizetype openings = 0;
    for (qsizetype at = markup.indexOf(QLatin1String("src=\""), 0, Qt::CaseInsensitive); at >= 0;
         at = markup.indexOf(QLatin1String("src=\""), at + 1, Qt::CaseInsensitive))
        ++openings;
    check(filled <= openings, "no more description addresses than src=\" in the markup", QString());

    QStringList made;
    const bool complete = descriptionCandidates(markup, made);
    for (int k = 0; k < filled; ++k) {
        const QString &address = list.at(k);
        check(address.startsWith(QLatin1String("http")), "a description address starts with http", address);
        check(!address.contains(u'\n'), "no line feed", address);
        if (complete)
            check(made.contains(address), "the description address follows a src=\" in the markup", address);
    }
}

int unitsDecodingMustNotMake(const QString &text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool pairStart =
            QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        if (pairStart) {
            ++i;
            continue;
        }
        count += QChar::isSurrogate(c) || c < 0x20 || (c >= 0x7F && c <= 0x9F) ? 1 : 0;
    }
    return count;
}

void checkDecoding(const QString &markup)
{
    const QString decoded = talvesk::decodeCharacterReferences(markup);
    check(decoded.size() <= markup.size(), "decoding never lengthens a text", decoded);
    check(unitsDecodingMustNotMake(decoded) <= unitsDecodingMustNotMake(markup),
          "decoding makes no lone surrogate or control character", decoded);
    check(markup.contains(u'&') || decoded == markup, "a text without & decodes to itself", decoded);
}

PictureList nulls()
{
    PictureList list;
    list.clear();
    return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString markup = talvesk::fuzz::utf16Text(data, size);
    checkDecoding(markup);

    PictureList colour = nulls();
    QStringList names;
    talvesk::extractColourPictures(markup, colour, &names);
    checkList(markup, colour, {&kColourWritten, &kColourSwatch}, "colour");
    check(names.size() == colour.size(), "a name for every colour picture", markup);
    for (const QString &name : names)
        check(name == name.simplified(), "a name is one line of text, trimmed", name);

    PictureList main = nulls();
    talvesk::extractMainPictures(markup, main);
    checkList(markup, main, {&kMain}, "main");

    PictureList descriptions = nulls();
    talvesk::extractDescriptionPictures(markup, descriptions);
    checkDescriptions(markup, descriptions);

    PictureList tmallMain = nulls();
    PictureList tmallColour = nulls();
    QStringList tmallNames;
    talvesk::extractTmallPictures(markup, tmallMain, tmallColour, &tmallNames);
    check(tmallNames.size() == tmallColour.size(), "a name for every tmall colour picture", markup);
    checkList(markup, tmallMain, {&kTmallMain}, "tmall main");
    checkList(markup, tmallColour, {&kTmallColourWritten, &kTmallColourSwatch}, "tmall colour");
    return 0;
}
