// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/FolderCreation.h"

#include "download/PathJoin.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace talvesk {

namespace {

// Enough for any honest reuse of a folder; a parent full of candidates is reported instead of
// searched forever.
constexpr int kMaxAttempts = 1000;

enum class MkdirOutcome { Created, Taken, Failed };

FolderFailure failureOf(const std::error_code &error)
{
    if (error == std::errc::no_such_file_or_directory)
        return {FolderFailure::Kind::MissingParent};
    if (error == std::errc::filename_too_long)
        return {FolderFailure::Kind::NameTooLong};
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system)
        return {FolderFailure::Kind::NoPermission};
    if (error == std::errc::not_a_directory)
        return {FolderFailure::Kind::ParentNotFolder};
    return {FolderFailure::Kind::Other, QString::fromLocal8Bit(error.message().c_str())};
}

std::filesystem::path fileSystemPath(const QString &path)
{
    return std::filesystem::u8path(QDir::fromNativeSeparators(path).toStdString());
}

MkdirOutcome makeOneFolder(const QString &path, FolderFailure *failure)
{
    std::error_code error;
    const bool created = std::filesystem::create_directory(fileSystemPath(path), error);
    if (created)
        return MkdirOutcome::Created;
    // No error means a folder is there already; EEXIST means a file (or a dangling link) is.
    if (!error || error == std::errc::file_exists)
        return MkdirOutcome::Taken;
    *failure = failureOf(error);
    return MkdirOutcome::Failed;
}

} // namespace

FolderResult createNewFolder(const QString &path, int stemLength)
{
    const QFileInfo requested(QDir::fromNativeSeparators(path));
    const QString parent = QDir::toNativeSeparators(requested.path());
    const QString stem = requested.fileName().left(stemLength);

    FolderResult result;
    QString candidate = path;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        switch (makeOneFolder(candidate, &result.failure)) {
        case MkdirOutcome::Created:
            result.path = candidate;
            return result;
        case MkdirOutcome::Failed:
            return result;
        case MkdirOutcome::Taken:
            candidate = joinPath(parent, stem + QString::number(attempt));
            break;
        }
    }
    result.failure = {FolderFailure::Kind::AllNamesTaken};
    return result;
}

FolderResult createFolderPath(const QString &path)
{
    FolderResult result;
    const std::filesystem::path folder = fileSystemPath(path);
    std::error_code error;
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error)) {
        result.failure = {FolderFailure::Kind::FileInTheWay};
        return result;
    }
    std::filesystem::create_directories(folder, error);
    if (error)
        result.failure = failureOf(error);
    else
        result.path = path;
    return result;
}

bool removeEmptyFolders(const QString &path)
{
    QDir folder(path);
    if (!folder.exists())
        return true;
    const QStringList inside =
        folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : inside)
        removeEmptyFolders(folder.filePath(name));
    return QDir().rmdir(path);
}

} // namespace talvesk
