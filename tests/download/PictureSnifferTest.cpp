// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/PictureSniffer.h"

#include <QList>
#include <QtEndian>

#include <gtest/gtest.h>

using talvesk::PictureSniffer;
using Verdict = PictureSniffer::Verdict;

namespace {

// An ISO media file type box with the given brands, followed by the next box's header.
QByteArray fileType(const QByteArray &major, const QByteArray &compatible)
{
    const QByteArray box = QByteArray("ftyp") + major + QByteArray(4, '\0') + compatible;
    QByteArray size(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(box.size() + 4), size.data());
    return size + box + QByteArray("\0\0\0\x08meta", 8);
}

// The verdict after each byte of start, fed one at a time, then at the end of the body.
QList<Verdict> byteByByte(const QByteArray &mimeType, const QByteArray &start)
{
    PictureSniffer sniffer(mimeType);
    QList<Verdict> verdicts;
    for (const char byte : start)
        verdicts.append(sniffer.feed(QByteArray(1, byte)));
    verdicts.append(sniffer.finish());
    return verdicts;
}

Verdict whole(const QByteArray &mimeType, const QByteArray &body)
{
    PictureSniffer sniffer(mimeType);
    sniffer.feed(body);
    return sniffer.finish();
}

} // namespace

// Every format is told from its first bytes, whole or one at a time, undecided until then.
TEST(PictureSniffer, TellsEveryPictureFormat)
{
    const struct
    {
        const char *format;
        QByteArray start;
        QByteArray mimeType;
        int decidingByte; // 1-based
    } pictures[] = {
        {"JPEG", QByteArray("\xff\xd8\xff\xe0\0\x10JFIF", 10), "image/jpeg", 3},
        {"PNG", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "image/png", 8},
        {"GIF87a", "GIF87a\x01\0\x01\0", "image/gif", 6},
        {"GIF89a", "GIF89a\x01\0\x01\0", "image/gif", 6},
        {"WebP", QByteArray("RIFF\x24\0\0\0WEBPVP8 ", 16), "image/webp", 12},
        {"BMP", QByteArray("BM\x3a\0\0\0\0\0", 8), "image/bmp", 2},
        {"ICO", QByteArray("\0\0\x01\0\x01\0\x10\x10", 8), "image/x-icon", 4},
        {"AVIF", fileType("avif", "mif1miaf"), "image/avif", 12},
        {"HEIF by a compatible brand", fileType("isom", "mp41heic"), "image/heic", 24},
        {"SVG", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>", "image/svg+xml", 1},
        {"SVG after a byte order mark and blanks", "\xef\xbb\xbf \r\n\t<?xml version=\"1.0\"?><svg/>",
         "image/svg+xml", 8},
    };
    for (const auto &picture : pictures) {
        SCOPED_TRACE(picture.format);
        EXPECT_EQ(whole(picture.mimeType, picture.start), Verdict::Picture);
        const QList<Verdict> verdicts = byteByByte(picture.mimeType, picture.start);
        for (int n = 1; n <= picture.start.size(); ++n) {
            EXPECT_EQ(verdicts[n - 1], n < picture.decidingByte ? Verdict::Undecided : Verdict::Picture)
                << "after byte " << n;
        }
        PictureSniffer sniffer(picture.mimeType);
        sniffer.feed(picture.start.left(1));
        sniffer.feed(picture.start.mid(1));
        EXPECT_EQ(sniffer.takeStart(), picture.start);
    }
}

// What is no picture is refused: markup, a broken signature, a video, undeclared SVG, too short.
TEST(PictureSniffer, RefusesWhatIsNoPicture)
{
    const struct
    {
        const char *what;
        QByteArray body;
        QByteArray mimeType;
    } others[] = {
        {"a web page", "<html><body>login</body></html>", "text/html"},
        {"JSON", R"({"error":"denied"})", "image/jpeg"},
        {"a broken JPEG start", QByteArray("\xff\xd9\xff\xe0", 4), "image/jpeg"},
        {"GIF of no version", "GIF88a\x01\0", "image/gif"},
        {"RIFF sound", QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16), "image/webp"},
        {"a video", fileType("isom", "mp41") + fileType("avif", ""), "image/avif"},
        {"a file type box of no size",
         QByteArray("\0\0\0\x08"
                    "ftypavif",
                    12),
         "image/avif"},
        {"SVG declared as PNG", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>", "image/png"},
        {"nothing", "", "image/jpeg"},
        {"two bytes of a JPEG", QByteArray("\xff\xd8", 2), "image/jpeg"},
        {"blanks declared as SVG", QByteArray(4096, ' '), "image/svg+xml"},
    };
    for (const auto &other : others) {
        SCOPED_TRACE(other.what);
        EXPECT_EQ(whole(other.mimeType, other.body), Verdict::NotPicture);
    }
    // Undecided bytes are not kept past 4 KiB: the verdict comes with the byte that reaches it.
    PictureSniffer sniffer("image/svg+xml");
    EXPECT_EQ(sniffer.feed(QByteArray(4095, ' ')), Verdict::Undecided);
    EXPECT_EQ(sniffer.feed(QByteArray(1, ' ')), Verdict::NotPicture);
}
