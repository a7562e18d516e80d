#include "app/cli/CommandLineRun.h"

#include "app/cli/CollectedSetOutput.h"
#include "app/cli/CommandLineOptions.h"
#include "app/cli/CooperativeTasks.h"
#include "app/cli/HeadlessControls.h"
#include "app/cli/LongAddresses.h"
#include "app/cli/TerminalDialogs.h"
#include "app/cli/TerminalMessageList.h"
#include "app/cli/TerminationSignals.h"
#include "collect/CollectCommand.h"
#include "collect/PictureList.h"
#include "download/DownloadCommand.h"
#include "platform/SteadyClock.h"
#include "platform/qt/BrowserSetup.h"
#include "platform/qt/QtPageBrowser.h"
#include "platform/qt/QtTicker.h"

#include <QFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace talvesk {

namespace {

void writeTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString timeoutMessage(int seconds)
{
    return QStringLiteral("采集失败:网页在%1秒内未能完成载入和滚动").arg(seconds);
}

// What one address gave: its status, and what it prints on stdout once the addresses
// before it have printed theirs.
struct ItemOutcome
{
    int status = ExitDone;
    QString output;
    bool done = false;
};

// One line on stderr naming what failed, after the command's own lines.
void reportFailure(TerminalMessageList &messages, const QString &line)
{
    messages.flush();
    messages.writeLine(QStringLiteral("talvesk: %1").arg(line));
}

int downloadStatus(const DownloadResult &result, const QString &address, TerminalMessageList &messages,
                   QString &output)
{
    switch (result.outcome) {
    case DownloadResult::Outcome::Done:
        output = result.itemFolder + QLatin1Char('\n');
        if (result.failed == 0)
            return ExitDone;
        reportFailure(messages, QStringLiteral("%1: %2 of %3 pictures were not saved")
                                    .arg(address)
                                    .arg(result.failed)
                                    .arg(result.total));
        return ExitPicturesFailed;
    case DownloadResult::Outcome::FolderFailed:
        reportFailure(messages, QStringLiteral("cannot create a folder: %1").arg(result.folderError));
        return ExitFolderFailed;
    case DownloadResult::Outcome::NotStarted:
        reportFailure(messages,
                      QStringLiteral("%1: the page has an empty title, nothing was saved").arg(address));
        return ExitPageFailed;
    case DownloadResult::Outcome::Unfinished:
        break;
    }
    reportFailure(messages, QStringLiteral("%1: the download was interrupted").arg(address));
    return ExitPageFailed;
}

// One page of a batch: a pair of page browsers in a window-sized host, collecting the
// items handed to it one after another.
class PageSlot final
{
public:
    PageSlot(BrowserSetup &setup, EventLoop &loop, const CommandLineOptions &options, std::FILE *terminal,
             TerminationSignals &termination)
        : m_loop(loop), m_options(options), m_terminal(terminal)
    {
        // The page needs a viewport of a desktop window's size for lazily shown pictures to
        // appear as they would on screen. Nobody sees it: the pages render for their own sake,
        // never composed into the host, and the preview's pictures are not fetched.
        m_host.resize(1280, 900);
        auto *layout = new QVBoxLayout(&m_host);
        layout->setContentsMargins(0, 0, 0, 0);
        const BrowserSetup::PagePair pair = setup.createPagePair(&m_host, loop);
        m_itemBrowser = pair.itemBrowser;
        m_previewBrowser = pair.previewBrowser;
        m_previewBrowser->view()->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
        layout->addWidget(m_itemBrowser->view());
        layout->addWidget(m_previewBrowser->view());
        m_host.setUpdatesEnabled(false);
        m_host.show();
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, &m_host, [this] {
            m_timedOut = true;
            haltPage();
        });
        QObject::connect(&termination, &TerminationSignals::received, &m_host, [this] {
            m_deadline.stop();
            haltPage();
            if (m_download)
                m_download->abort(); // drops its partial files
        });
    }

    ItemOutcome collect(const QString &address, const QString &prefix)
    {
        TerminalMessageList messages(m_terminal, prefix, m_options.pages == 1);
        TerminalDialogs dialogs(messages, m_options.saveFolder);
        CollectedSet set;
        HeadlessControls controls(*m_itemBrowser, *m_previewBrowser);
        controls.onScrollPhaseEnded([this] { m_deadline.stop(); });
        const SteadyClock clock;
        QtTicker ticker(&m_host, QStringLiteral("Timer1"));
        CollectCommand collectCommand(*m_itemBrowser, *m_previewBrowser, controls, messages, m_loop, clock,
                                      ticker, set);

        const QString shownAddress = addressForTerminal(address);
        ItemOutcome outcome;
        controls.setAddress(address);
        m_timedOut = false;
        m_deadline.start(m_options.timeoutSeconds * 1000);
        const CollectResult collected = collectCommand.run();
        m_deadline.stop();
        if (!collected.ok()) {
            QString error = collected.errorString;
            if (m_timedOut) {
                // The collect's own line names the stop; the reason is the time limit.
                error = timeoutMessage(m_options.timeoutSeconds);
                messages.setLine(messages.lastLine(), error);
            }
            reportFailure(messages, QStringLiteral("%1: %2").arg(shownAddress, error));
            outcome.status = ExitPageFailed;
            return outcome;
        }
        if (m_options.saveFolder.isEmpty()) {
            outcome.output = m_options.json ? collectedSetJson(address, set) + QLatin1Char('\n')
                                            : collectedSetListing(address, set);
            return outcome;
        }
        DownloadOptions downloadOptions;
        downloadOptions.concurrency = m_options.jobs;
        DownloadCommand download(controls, dialogs, messages, downloadOptions);
        m_download = &download;
        outcome.status = downloadStatus(download.run(set, m_loop), shownAddress, messages, outcome.output);
        m_download = nullptr;
        return outcome;
    }

    // The last item ran out of time. Its page was stopped mid-load, and the engine may not
    // let the same page load the next address, so the slot is replaced.
    bool timedOut() const { return m_timedOut; }

private:
    // Stop ends the wait for the page; once loaded, only a new load ends the scroll phase.
    void haltPage()
    {
        const bool loaded = m_itemBrowser->loadState() != PageBrowser::LoadState::Loading;
        m_itemBrowser->stop();
        if (loaded)
            m_itemBrowser->navigateBlank();
    }

    EventLoop &m_loop;
    const CommandLineOptions &m_options;
    std::FILE *m_terminal;
    QWidget m_host;
    QtPageBrowser *m_itemBrowser = nullptr; // owned by its view
    QtPageBrowser *m_previewBrowser = nullptr;
    QTimer m_deadline;
    bool m_timedOut = false;
    DownloadCommand *m_download = nullptr; // while one runs
};

// The addresses of the arguments, then those of the list file. Nullopt, with a line on the
// terminal, when the file cannot be read or there is no address at all.
std::optional<QStringList> allAddresses(const CommandLineOptions &options, std::FILE *terminal)
{
    QStringList addresses = options.addresses;
    if (options.inputFile.isEmpty())
        return addresses;
    QFile file;
    const bool standardInput = options.inputFile == QStringLiteral("-");
    const bool opened = standardInput ? file.open(stdin, QIODevice::ReadOnly)
                                      : (file.setFileName(options.inputFile), file.open(QIODevice::ReadOnly));
    if (!opened) {
        writeTo(terminal, QStringLiteral("talvesk: cannot read the address list %1: %2\n")
                              .arg(options.inputFile, file.errorString()));
        return std::nullopt;
    }
    addresses.append(CommandLineOptions::addressesOfList(QString::fromUtf8(file.readAll())));
    if (addresses.isEmpty()) {
        writeTo(terminal, CommandLineOptions::usageErrorText(CommandLineOptions::noAddressError()));
        return std::nullopt;
    }
    return addresses;
}

// Fails at once, before any page is made, each address the engine would refuse for its
// length; waiting for it would only end at the time limit.
void refuseTooLongAddresses(const QStringList &addresses, const CommandLineOptions &options,
                            std::FILE *terminal, std::vector<ItemOutcome> &outcomes)
{
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        if (!isTooLongForEngine(addresses.at(i)))
            continue;
        const QString prefix =
            options.pages > 1 ? QStringLiteral("[%1/%2] ").arg(i + 1).arg(addresses.size()) : QString();
        TerminalMessageList(terminal, prefix, false)
            .writeLine(
                QStringLiteral(
                    "talvesk: %1: the address is longer than the browser takes (at most %2 characters)")
                    .arg(addressForTerminal(addresses.at(i)))
                    .arg(kEngineAddressLimit));
        outcomes[static_cast<std::size_t>(i)] = {ExitPageFailed, QString(), true};
    }
}

} // namespace

int runCollectCommandLine(const CommandLineOptions &options, std::FILE *terminal)
{
    const std::optional<QStringList> addresses = allAddresses(options, terminal);
    if (!addresses)
        return ExitUsage;
    const qsizetype count = addresses->size();
    std::vector<ItemOutcome> outcomes(static_cast<std::size_t>(count));
    refuseTooLongAddresses(*addresses, options, terminal, outcomes);
    if (std::all_of(outcomes.begin(), outcomes.end(), [](const ItemOutcome &o) { return o.done; }))
        return ExitPageFailed;

    // Installed before the profile copy is made, so a stop always removes it.
    TerminationSignals termination;
    BrowserSetup setup(BrowserSetup::Storage::Persistent);
    qsizetype next = 0;
    qsizetype printed = 0;
    const auto printInOrder = [&] {
        while (printed < count && outcomes[static_cast<std::size_t>(printed)].done)
            writeTo(stdout, outcomes[static_cast<std::size_t>(printed++)].output);
    };

    CooperativeTasks tasks;
    const qsizetype pages = std::min<qsizetype>(options.pages, count);
    for (qsizetype p = 0; p < pages; ++p) {
        tasks.add([&](EventLoop &loop) {
            auto slot = std::make_unique<PageSlot>(setup, loop, options, terminal, termination);
            while (next < count && termination.receivedSignal() == 0) {
                const qsizetype i = next++;
                if (outcomes[static_cast<std::size_t>(i)].done)
                    continue; // refused before the run
                const QString prefix =
                    options.pages > 1 ? QStringLiteral("[%1/%2] ").arg(i + 1).arg(count) : QString();
                ItemOutcome &outcome = outcomes[static_cast<std::size_t>(i)];
                if (slot->timedOut())
                    slot = std::make_unique<PageSlot>(setup, loop, options, terminal, termination);
                outcome = slot->collect(addresses->at(i), prefix);
                outcome.done = true;
                printInOrder();
            }
        });
    }
    tasks.run();
    if (termination.receivedSignal() != 0) {
        writeTo(terminal,
                QStringLiteral("talvesk: stopped by signal %1\n").arg(termination.receivedSignal()));
        return termination.exitStatus();
    }

    int status = ExitDone;
    for (const ItemOutcome &outcome : outcomes)
        status = std::max(status, outcome.status);
    return status;
}

} // namespace talvesk
