// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// Why a folder could not be made.
struct FolderFailure
{
    enum class Kind {
        MissingParent,
        NameTooLong,
        NoPermission, // also a read-only file system
        ParentNotFolder,
        AllNamesTaken, // the name and every numbered one after it
        FileInTheWay,  // a file holds the folder's path
        Other,         // systemMessage: the system's own words
    };

    Kind kind = Kind::Other;
    QString systemMessage = {};

    friend bool operator==(const FolderFailure &, const FolderFailure &) = default;
};

// The folder createNewFolder made, or why none could be made. Empty path means failure.
struct FolderResult
{
    QString path;
    FolderFailure failure = {};

    bool ok() const { return !path.isEmpty(); }
};

// Creates a new folder at path; never reuses one. When the name is taken (by a folder or a
// file) it tries, in the same parent, the first stemLength characters of the folder's own name
// followed by 1, 2, 3, ... and creates the first free one. The parent must exist.
FolderResult createNewFolder(const QString &path, int stemLength);

// Makes the folder at path with any missing parents; a folder there already is fine.
FolderResult createFolderPath(const QString &path);

// Removes the folder at path and every empty folder inside it, deepest first. Whatever holds
// a file stays, with the folders above it. True when the folder is gone.
bool removeEmptyFolders(const QString &path);

} // namespace talvesk
