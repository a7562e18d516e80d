// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/PictureList.h"

#include <QObject>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

namespace talvesk {

class MainForm;
struct DownloadProgress;
struct DownloadResult;
struct PictureChoice;
struct RetryPlan;

// The window's downloads, one record each: its command, its lines in the message list (with
// its cancel and, at its end, its failures), its percent. The progress bar follows the latest
// download, and when that ends the one before it; a collect's page loads leave the bar alone
// meanwhile.
class WindowDownloads final : public QObject
{
    Q_OBJECT

public:
    explicit WindowDownloads(MainForm &window);
    // Downloads still running end at once, leaving no partial file and showing nothing more.
    ~WindowDownloads() override;

    // Shows the preview, asks for the folder and saves the set: only the chosen pictures, when
    // a choice is given.
    void download(const CollectedSet &set, const std::optional<PictureChoice> &choice);
    // Fetches failed pictures again into their files, without asking anything.
    void retry(const RetryPlan &plan);
    // Whether the window may close now. With downloads running it asks first and says no; on
    // yes they stop and the window is closed again.
    bool mayClose();

private:
    struct Record;

    // Stops every download, leaving no partial file; their ends show from the event loop.
    void stopAll();

    Record &start();
    void show(Record &record, const DownloadProgress &progress);
    void finish(quint64 id, const DownloadResult &result);
    void answerClose(bool yes);
    Record *find(quint64 id) const;
    bool isShown(const Record &record) const;

    MainForm &m_window;
    std::vector<std::unique_ptr<Record>> m_records; // running downloads, the latest last
    quint64 m_lastId = 0;
    bool m_asking = false;       // the question before closing is open
    bool m_closeAllowed = false; // answered yes: the next close goes through
};

} // namespace talvesk
