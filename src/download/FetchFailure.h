// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace talvesk {

// Why a picture (or a video) was not saved, with what a front end needs to say so.
struct FetchFailure
{
    enum class Kind {
        UnsupportedAddress, // not http or https, also at the end of a redirect
        TooManyRedirects,
        HttpStatus,      // code: an error status, or 206 for a part nobody asked for
        InterimAnswer,   // code: the 1xx status
        PictureTooLarge, // limitBytes
        VideoTooLarge,   // limitBytes
        NotPicture,      // detail: the declared type, lower case; empty when none was
        NotVideo,        // detail: as NotPicture
        Empty,           // a success with no body
        FileExists,      // something already has the file's name
        DiskFull,
        CannotWrite, // detail: the file's own error text
        CannotSave,  // the whole body could not take the file's name
        TimedOut,    // stalled, or past the deadline
        ConnectionCut,
        ConnectionRefused,
        HostNotFound,
        Undecodable,  // detail: the content encoding
        NetworkError, // detail: the network layer's text, maybe empty; code: its error number
    };

    Kind kind = Kind::NetworkError;
    int code = 0;
    qint64 limitBytes = 0;
    QString detail = {};

    friend bool operator==(const FetchFailure &, const FetchFailure &) = default;
};

} // namespace talvesk
