// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the fuzz targets read their bytes, and how they report a broken property.
//
//   const QString text = talvesk::fuzz::utf16Text(data, size);
//   talvesk::fuzz::check(!text.contains(u'\n'), "a line feed in the address", text);
//
// The first byte picks the reading: even, the rest is UTF-16 (little endian), so any code unit
// (lone surrogates, line breaks) can come in; odd, each byte is one unit (easy to mutate towards
// markup), except that 0xFF and the two bytes after it give one UTF-16 unit.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace talvesk::fuzz {

inline QString utf16Text(const std::uint8_t *data, std::size_t size)
{
    QString text;
    if (size == 0)
        return text;
    const bool wide = (data[0] & 1) == 0;
    ++data;
    --size;
    text.reserve(static_cast<qsizetype>(size));
    for (std::size_t i = 0; i < size;) {
        if (wide) {
            if (i + 1 >= size)
                break;
            text.append(QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8))));
            i += 2;
        } else if (data[i] == 0xff && i + 2 < size) {
            text.append(QChar(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8))));
            i += 3;
        } else {
            text.append(QChar(static_cast<char16_t>(data[i])));
            ++i;
        }
    }
    return text;
}

// The input's fields: the text cut at every U+0000 (which no field needs to hold).
inline QStringList fields(const QString &text)
{
    return text.split(QChar(u'\0'));
}

// A failed property ends the run as a crash would, so libFuzzer keeps the input.
inline void check(bool ok, const char *property, const QString &about)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n  about: %s\n", property, qPrintable(about));
    std::abort();
}

} // namespace talvesk::fuzz
