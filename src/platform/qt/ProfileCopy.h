// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

namespace talvesk {

// A folder of this process's own holding a copy of a profile's cookie files, for a run that
// finds the profile in use. What the copy gathers while browsing (session cookies, history,
// local storage) is the user's secret: the folder is made with mode 0700 in the user's
// runtime folder, or the cache when there is none, and a lock in it is held while the
// object lives. The engine writes into it until it has shut down, after the application
// object is gone, so removal comes last: removeOwn() then. Copies of runs that were killed
// are recognised by their name and their lock, and removeStale() clears them.
class ProfileCopy final
{
public:
    ~ProfileCopy(); // releases the lock; the folder stays for removeOwn()
    ProfileCopy(const ProfileCopy &) = delete;
    ProfileCopy &operator=(const ProfileCopy &) = delete;

    // The folders copies go in, the preferred first: the runtime folder if it is private,
    // then a folder in the user's cache.
    static QStringList places();

    // A new copy of the named files of profileFolder in the first place that takes it;
    // nullptr, with the reason in error, when no private folder can be made.
    static std::unique_ptr<ProfileCopy> create(const QString &profileFolder, const QStringList &files,
                                               const QStringList &places, QString &error);

    // Removes the copies whose process is gone.
    static void removeStale(const QStringList &places);
    // Removes the copies of this process.
    static void removeOwn(const QStringList &places);

    const QString &path() const { return m_path; }

private:
    ProfileCopy(QString path, std::unique_ptr<QLockFile> lock);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace talvesk
