#include "app/MainFormCommands.h"

#include "app/MainForm.h"

namespace talvesk {

MainFormCommands::MainFormCommands(MainForm &window)
    : m_window(window), m_collect(window.webBrowser1(), window.webBrowser2(), window, window.messages(),
                                  window.eventLoop(), m_clock, m_set)
{
    connect(&window, &MainForm::collectRequested, this, [this] { m_collect.run(); });
    connect(&window, &MainForm::timerTicked, this, [this] { m_collect.tick(); });
    connect(&window, &MainForm::downloadRequested, this, &MainFormCommands::handleDownloadRequested);
}

void MainFormCommands::handleDownloadRequested()
{
    // A download started now would read the set while the collect clears and refills it.
    if (m_collect.isRunning()) {
        m_collect.reportBusy(CollectCommand::downloadBusyMessage());
        return;
    }
    DownloadCommand download(m_window, m_window.dialogs(), m_window.messages(), m_window.eventLoop());
    download.run(m_set);
}

} // namespace talvesk
