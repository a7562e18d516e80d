#pragma once

#include "collect/CollectCommand.h"
#include "collect/PicList.h"

#include <QObject>

namespace talvesk {

class MainForm;

// Connects the window's command hooks to the commands and holds what they share for the
// life of the window: the collected set and the collect command with its state.
class MainFormCommands final : public QObject
{
    Q_OBJECT

public:
    explicit MainFormCommands(MainForm &window);

    CollectCommand &collectCommand() { return m_collect; }
    const CollectedSet &collectedSet() const { return m_set; }

Q_SIGNALS:
    // The download button was pressed while no collect runs.
    void downloadAllowed();

private:
    void handleDownloadRequested();

    CollectedSet m_set;
    CollectCommand m_collect;
};

} // namespace talvesk
