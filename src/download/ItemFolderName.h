// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

struct ItemFolderName
{
    QString name;
    bool shortened = false; // the title did not fit the file system's name limit
};

// The name of an item's folder for its cleaned title. Control characters, which no folder name
// here can hold, are removed; a name over the file system's 255-byte limit is cut at a
// character boundary, leaving room for the attempt number of a folder that is taken. A name
// that would be empty or a dot folder becomes "_".
ItemFolderName itemFolderName(const QString &title);

} // namespace talvesk
