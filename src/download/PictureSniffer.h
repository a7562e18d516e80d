// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <utility>

namespace talvesk {

// Tells from the first bytes of a body whether it is a picture a page can show: JPEG, PNG,
// GIF, WebP, BMP, AVIF/HEIF, ICO, and SVG when the server declared it as such. Error pages,
// JSON and undecoded bodies come in a picture's place with a picture's type often enough.
class PictureSniffer final
{
public:
    enum class Verdict { Undecided, Picture, NotPicture };
    // What the body must be: a picture, or an ISO media file (a file type box first), as the
    // main video is; Picture then means it is one.
    enum class Expect { Picture, IsoMedia };

    // mimeType: the declared type, lower case, without parameters.
    explicit PictureSniffer(const QByteArray &mimeType, Expect expect = Expect::Picture);

    // Feeds the next bytes while undecided, and keeps them.
    Verdict feed(const QByteArray &chunk);
    // At the end of the body: too short to tell is no picture.
    Verdict finish();

    Verdict verdict() const { return m_verdict; }
    // The bytes fed so far, to be written once the body is found a picture; given up then.
    QByteArray takeStart() { return std::exchange(m_start, {}); }

private:
    Verdict judge() const;

    const bool m_svgDeclared;
    const Expect m_expect;
    QByteArray m_start;
    Verdict m_verdict = Verdict::Undecided;
};

} // namespace talvesk
