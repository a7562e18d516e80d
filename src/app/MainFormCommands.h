// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/WindowDownloads.h"
#include "collect/CollectCommand.h"
#include "collect/PictureList.h"

#include <QObject>

#include <memory>

namespace talvesk {

class CollectLines;
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
    // Writes the preview of a collected item, then shows it.
    void showPreview(std::shared_ptr<CollectLines> lines, CollectResult result);
    void showCollected(CollectLines &lines, const CollectResult &result);
    // A collect that came to nothing: the set before it goes, and the preview says why.
    void showNothingCollected(const QString &failure);
    void handleDownloadRequested();

    MainForm &m_window;
    CollectedSet m_set;
    int m_previews = 0;        // written, so that only the latest collect's is shown
    int m_previewsWriting = 0; // not yet written
    CollectCommand m_collect;
    WindowDownloads m_downloads;
};

} // namespace talvesk
