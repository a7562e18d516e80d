#pragma once

#include "collect/CollectCommand.h"
#include "collect/PicList.h"
#include "download/DownloadCommand.h"
#include "platform/SteadyClock.h"

#include <QObject>

namespace talvesk {

class MainForm;

// Connects the window's command hooks to the commands and holds what they share for the
// life of the window: the collected set and the collect command with its state.
// A download runs on its own copy of the set, so a collect started during it cannot mix items.
class MainFormCommands final : public QObject
{
    Q_OBJECT

public:
    explicit MainFormCommands(MainForm &window);

    CollectCommand &collectCommand() { return m_collect; }
    const CollectedSet &collectedSet() const { return m_set; }

private:
    void handleDownloadRequested();

    MainForm &m_window;
    CollectedSet m_set;
    SteadyClock m_clock;
    CollectCommand m_collect;
};

} // namespace talvesk
