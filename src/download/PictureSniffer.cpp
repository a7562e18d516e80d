// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/PictureSniffer.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace talvesk {

namespace {

using Verdict = PictureSniffer::Verdict;

// Enough for any signature and the brand list of an ISO-BMFF file type box; a body still
// undecided after this many bytes (whitespace before SVG markup, say) is no picture.
constexpr qsizetype kMaxStart = 4096;

// Undecided while start is a proper prefix of signature, else whether it begins with it.
Verdict matchPrefix(const QByteArray &start, QByteArrayView signature)
{
    const qsizetype n = std::min(start.size(), signature.size());
    if (QByteArrayView(start).first(n) != signature.first(n))
        return Verdict::NotPicture;
    return n < signature.size() ? Verdict::Undecided : Verdict::Picture;
}

Verdict firstOf(std::initializer_list<Verdict> verdicts)
{
    bool undecided = false;
    for (const Verdict v : verdicts) {
        if (v == Verdict::Picture)
            return v;
        undecided = undecided || v == Verdict::Undecided;
    }
    return undecided ? Verdict::Undecided : Verdict::NotPicture;
}

Verdict fixedSignatures(const QByteArray &start)
{
    static constexpr std::array<QByteArrayView, 6> signatures{
        QByteArrayView("\xff\xd8\xff", 3),      // JPEG
        QByteArrayView("\x89PNG\r\n\x1a\n", 8), // PNG
        QByteArrayView("GIF87a", 6),
        QByteArrayView("GIF89a", 6),
        QByteArrayView("BM", 2),               // BMP
        QByteArrayView("\x00\x00\x01\x00", 4), // ICO
    };
    bool undecided = false;
    for (const QByteArrayView signature : signatures) {
        const Verdict v = matchPrefix(start, signature);
        if (v == Verdict::Picture)
            return v;
        undecided = undecided || v == Verdict::Undecided;
    }
    return undecided ? Verdict::Undecided : Verdict::NotPicture;
}

Verdict webp(const QByteArray &start)
{
    const Verdict riff = matchPrefix(start, "RIFF");
    if (riff != Verdict::Picture)
        return riff;
    return start.size() < 12 ? Verdict::Undecided : matchPrefix(start.mid(8), "WEBP");
}

bool isImageBrand(QByteArrayView brand)
{
    static constexpr std::array<QByteArrayView, 7> brands{"avif", "avis", "heic", "heix",
                                                          "mif1", "msf1", "hevc"};
    return std::find(brands.begin(), brands.end(), brand) != brands.end();
}

// AVIF and HEIF: a file type box naming an image brand, as major or compatible brand.
Verdict isoMediaImage(const QByteArray &start)
{
    if (start.size() < 8)
        return start.size() <= 4 ? Verdict::Undecided : matchPrefix(start.mid(4), "ftyp");
    if (QByteArrayView(start).sliced(4, 4) != "ftyp")
        return Verdict::NotPicture;
    const quint32 boxSize = qFromBigEndian<quint32>(start.constData());
    if (boxSize < 16 || boxSize > kMaxStart)
        return Verdict::NotPicture;
    if (start.size() >= 12 && isImageBrand(QByteArrayView(start).sliced(8, 4)))
        return Verdict::Picture;
    if (start.size() < qsizetype(boxSize))
        return Verdict::Undecided;
    for (qsizetype at = 16; at + 4 <= qsizetype(boxSize); at += 4) {
        if (isImageBrand(QByteArrayView(start).sliced(at, 4)))
            return Verdict::Picture;
    }
    return Verdict::NotPicture;
}

// Any ISO base media file (MP4, MOV, 3GP …): a file type box of a plausible size.
Verdict isoMediaFile(const QByteArray &start)
{
    if (start.size() < 8)
        return start.size() <= 4 ? Verdict::Undecided : matchPrefix(start.mid(4), "ftyp");
    const quint32 boxSize = qFromBigEndian<quint32>(start.constData());
    if (QByteArrayView(start).sliced(4, 4) != "ftyp" || boxSize < 16 || boxSize > kMaxStart)
        return Verdict::NotPicture;
    return Verdict::Picture;
}

// Markup, after an optional byte order mark and whitespace.
Verdict svgMarkup(const QByteArray &start)
{
    QByteArrayView rest(start);
    const Verdict bom = matchPrefix(start, "\xef\xbb\xbf");
    if (bom == Verdict::Undecided)
        return bom;
    if (bom == Verdict::Picture)
        rest = rest.sliced(3);
    for (const char c : rest) {
        if (c == '<')
            return Verdict::Picture;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return Verdict::NotPicture;
    }
    return Verdict::Undecided;
}

} // namespace

PictureSniffer::PictureSniffer(const QByteArray &mimeType, Expect expect)
    : m_svgDeclared(mimeType == "image/svg+xml"), m_expect(expect)
{
}

PictureSniffer::Verdict PictureSniffer::feed(const QByteArray &chunk)
{
    m_start += chunk;
    m_verdict = judge();
    if (m_verdict == Verdict::Undecided && m_start.size() >= kMaxStart)
        m_verdict = Verdict::NotPicture;
    return m_verdict;
}

PictureSniffer::Verdict PictureSniffer::finish()
{
    if (m_verdict == Verdict::Undecided)
        m_verdict = Verdict::NotPicture;
    return m_verdict;
}

PictureSniffer::Verdict PictureSniffer::judge() const
{
    if (m_expect == Expect::IsoMedia)
        return isoMediaFile(m_start);
    return firstOf({fixedSignatures(m_start), webp(m_start), isoMediaImage(m_start),
                    m_svgDeclared ? svgMarkup(m_start) : Verdict::NotPicture});
}

} // namespace talvesk
