// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "collect/CollectCommand.h"
#include "collect/PictureList.h"

#include <QList>
#include <QObject>

#include <optional>

namespace talvesk {

class CollectLines;
class DownloadCommand;
struct DownloadResult;
struct PictureChoice;
struct RetryPlan;
class MainForm;

// Connects the window's command hooks to the commands and holds what they share for the
// life of the window: the set the last collect returned, the collect command with its state,
// and the downloads that run. Each download works on its own copy of the set, so downloads side by
// side, or a collect started during one, cannot mix items.
class MainFormCommands final : public QObject
{
    Q_OBJECT

public:
    explicit MainFormCommands(MainForm &window);
    ~MainFormCommands() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void collect(const QString &address);
    void showCollected(CollectLines &lines, const CollectResult &result);
    void handleDownloadRequested();
    void retryFailures(const RetryPlan &plan);
    void downloadChosen(const CollectedSet &set, const std::optional<PictureChoice> &choice);
    DownloadCommand *startDownload();
    void showProgress(DownloadCommand *download, int percent);
    void handleDownloadFinished(DownloadCommand *download, const DownloadResult &result);
    bool mayClose();

    MainForm &m_window;
    CollectedSet m_set;
    CollectCommand m_collect;
    // Running downloads, the latest last: the progress bar follows it, and when it ends the
    // one before it. A collect's page loads leave the bar alone meanwhile.
    QList<DownloadCommand *> m_downloads;
    QList<int> m_percents; // beside m_downloads
};

} // namespace talvesk
