#pragma once

#include "collect/PreviewPage.h"
#include "platform/MessageList.h"

#include <QString>

#include <cstdint>

namespace talvesk {

class Clock;
class EventLoop;
class PageBrowser;
class PageDocument;
class Ticker;
class WindowControls;
struct CollectedSet;

struct CollectResult
{
    enum class Status {
        Failed,    // the page could not be loaded or read; the set is cleared
        Refused,   // not started: a collect runs already, or the address box is empty
        Closing,   // the program closed while the command waited
        Collected, // the set is filled and the preview shown
    };

    Status status = Status::Failed;
    QString errorString; // the message line shown, unless Collected
    PreviewCounts counts;

    bool ok() const { return status == Status::Collected; }
};

// The collect button: reloads the item page from the address box, waits for it, scrolls it
// to the bottom so lazily loaded pictures enter the markup (an endlessly growing page for at
// most 300,000 px or 5 minutes, with a notice line), reads the title and the picture
// addresses of the four recognised div blocks, shows the preview and a count summary.
// While it scrolls it runs a once-a-second ticker of its own, whose ticks widen the scroll step
// once the page has stopped growing; ticks and run() share the collection state and run on
// the same thread, the ticks only inside the collect's own yields.
class CollectCommand final
{
public:
    CollectCommand(PageBrowser &itemBrowser, PageBrowser &previewBrowser, WindowControls &window,
                   MessageList &messages, EventLoop &loop, const Clock &clock, Ticker &ticker,
                   CollectedSet &set);

    CollectResult run();

    bool isRunning() const { return m_running; }

    // The collection state, shared by run() and tick().
    std::int32_t scrollStep() const { return m_scrollStep; }
    std::int32_t tickCount() const { return m_tickCount; }
    std::int32_t lastHeight() const { return m_lastHeight; }
    std::int32_t currentHeight() const { return m_currentHeight; }

    static QString progressMessage(std::int32_t seconds);
    static QString summaryMessage(const PreviewCounts &counts);
    // Shown instead of starting a second collect, or a download, while a collect runs.
    static QString busyMessage();
    static QString downloadBusyMessage();

private:
    enum class Wait { Ready, Failed, Closing };

    void tick();

    Wait waitUntilReady(int generation, QString &error);
    // Ends Ready also when a limit stops an endlessly growing page; limitNotice then says so.
    Wait scrollToBottom(PageDocument &document, int height, int generation, QString &error,
                        QString &limitNotice);
    Wait walkElements(PageDocument &document, int generation, QString &error);
    // Waits for the page to draw while it lags behind the scrolling, at most a second; a page
    // that still has not drawn is not waited for again (waitForDrawing false) until it draws.
    // False once the program is closing.
    bool letDrawingCatchUp(bool &waitForDrawing);
    // The message for a failed read, unless the page did not answer in time.
    QString readFailure(const QString &message) const;
    CollectResult failRead(int generation, const QString &message);
    CollectResult fail(const QString &message);
    void showProgress(std::int32_t seconds);

    PageBrowser &m_itemBrowser;
    PageBrowser &m_previewBrowser;
    WindowControls &m_window;
    MessageList &m_messages;
    EventLoop &m_loop;
    const Clock &m_clock;
    Ticker &m_ticker;
    CollectedSet &m_set;

    std::int32_t m_scrollStep = 0;
    std::int32_t m_tickCount = 0;
    std::int32_t m_lastHeight = 0;
    std::int32_t m_currentHeight = 0;
    bool m_running = false;
    MessageLine m_progressLine = 0;
};

} // namespace talvesk
