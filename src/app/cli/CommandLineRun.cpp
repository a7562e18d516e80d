// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLineRun.h"

#include "app/CollectLines.h"
#include "app/CollectMessages.h"
#include "app/DownloadLines.h"
#include "app/DownloadWords.h"
#include "app/cli/CollectedSetOutput.h"
#include "app/cli/CommandLineOptions.h"
#include "app/cli/LongAddresses.h"
#include "app/cli/TerminalDialogs.h"
#include "app/cli/TerminalMessageList.h"
#include "app/cli/TerminationSignals.h"
#include "collect/CleanAddress.h"
#include "collect/CollectCommand.h"
#include "collect/PictureList.h"
#include "collect/ScrollTurns.h"
#include "download/DownloadCommand.h"
#include "download/ItemManifest.h"
#include "platform/WaitForChange.h"
#include "platform/Waits.h"
#include "platform/qt/BrowserSetup.h"
#include "platform/qt/QtPageBrowser.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QThread>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvesk {

namespace {

// A blank page normally loads in a few milliseconds; one that takes longer than this is held
// by the page it replaces.
constexpr std::int64_t kLetGoMs = 2000;

// Writes and flushes; false, with errno telling why, when not all of it reached the stream's file.
bool writeTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream) ==
               static_cast<std::size_t>(bytes.size()) &&
           std::fflush(stream) == 0;
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
        if (!result.manifestFailure.isEmpty())
            reportFailure(messages, QStringLiteral("%1: cannot write %2: %3")
                                        .arg(address, result.manifestFile, result.manifestFailure));
        if (result.failures.isEmpty())
            return result.manifestFailure.isEmpty() ? ExitDone : ExitPicturesFailed;
        reportFailure(messages, QStringLiteral("%1: %2 of %3 pictures were not saved")
                                    .arg(address)
                                    .arg(result.failures.size())
                                    .arg(result.total));
        return ExitPicturesFailed;
    case DownloadResult::Outcome::FolderFailed:
        reportFailure(messages, QStringLiteral("cannot create a folder: %1").arg(folderFailureLine(result)));
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

// The item's place in a batch of several pages, before each of its lines; nothing otherwise.
QString itemPrefix(const CommandLineOptions &options, qsizetype item, qsizetype count)
{
    return options.pages > 1 ? QStringLiteral("[%1/%2] ").arg(item + 1).arg(count) : QString();
}

// Fails at once, before any page is made, each address the engine would refuse for its
// length; waiting for it would only end at the time limit.
void refuseTooLongAddresses(const QStringList &addresses, const CommandLineOptions &options,
                            std::FILE *terminal, std::vector<ItemOutcome> &outcomes)
{
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        if (outcomes[static_cast<std::size_t>(i)].done || !isTooLongForEngine(addresses.at(i)))
            continue;
        TerminalMessageList(terminal, itemPrefix(options, i, addresses.size()), false)
            .writeLine(
                QStringLiteral(
                    "talvesk: %1: the address is longer than the browser takes (at most %2 characters)")
                    .arg(addressForTerminal(addresses.at(i)))
                    .arg(kEngineAddressLimit));
        outcomes[static_cast<std::size_t>(i)] = {ExitPageFailed, QString(), true};
    }
}

// Fails at once each address that holds a control character: no page could load it, and
// waiting would only end at the time limit.
void refuseNonAddresses(const QStringList &addresses, const CommandLineOptions &options, std::FILE *terminal,
                        std::vector<ItemOutcome> &outcomes)
{
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        if (outcomes[static_cast<std::size_t>(i)].done || !holdsControlCharacter(addresses.at(i)))
            continue;
        TerminalMessageList(terminal, itemPrefix(options, i, addresses.size()), false)
            .writeLine(
                QStringLiteral("talvesk: %1: not a web address").arg(addressForTerminal(addresses.at(i))));
        outcomes[static_cast<std::size_t>(i)] = {ExitPageFailed, QString(), true};
    }
}

// A time drawn from the pause's range, in milliseconds.
int pauseMs(const CommandLineOptions &options)
{
    if (options.pauseMaxMs <= options.pauseMinMs)
        return options.pauseMinMs;
    return static_cast<int>(QRandomGenerator::global()->bounded(options.pauseMinMs, options.pauseMaxMs + 1));
}

// One page of a batch: its page browsers in a window-sized host, collecting the
// items handed to it one after another.
class PageSlot final
{
public:
    PageSlot(BrowserSetup &setup, EventLoop &loop, ScrollTurns &scrollTurns,
             const CommandLineOptions &options, std::FILE *terminal)
        : m_loop(loop), m_scrollTurns(scrollTurns), m_options(options), m_terminal(terminal)
    {
        // The item page has a shown viewport of a desktop window's size, so that lazily shown
        // pictures appear as they would on screen (a hidden page is not scrolled into view).
        // Nobody sees it: the pages render for their own sake, never composed into the host.
        // The description document's page has a viewport of the same size, in the same host.
        // The command line writes no preview, and has no page for one.
        m_host.resize(1280, 900);
        m_itemBrowser = setup.createPage(&m_host);
        m_descriptionBrowser = setup.createUnseenPage(&m_host);
        m_itemBrowser->view()->setGeometry(0, 0, 1280, 900);
        m_host.setUpdatesEnabled(false);
        m_host.show();
    }
    PageSlot(const PageSlot &) = delete;
    PageSlot &operator=(const PageSlot &) = delete;

    QCoro::Task<ItemOutcome> collect(QString address, QString prefix)
    {
        TerminalMessageList messages(m_terminal, prefix, m_options.pages == 1);
        TerminalDialogs dialogs(messages, m_options.saveFolder);
        CollectCommand collectCommand(*m_itemBrowser, *m_descriptionBrowser, m_loop);
        collectCommand.setTimeLimit(m_options.timeoutSeconds);
        collectCommand.setScrollTurns(&m_scrollTurns);

        const QString shownAddress = addressForTerminal(address);
        ItemOutcome outcome;
        m_collect = &collectCommand;
        CollectLines collectLines(messages);
        const CollectResult collected =
            co_await collectCommand.run(address, [&collectLines](const CollectProgress &progress) {
                collectLines.showProgress(progress);
            });
        m_collect = nullptr;
        // A failure is said once, in the line that names the item.
        if (!collected.ok()) {
            // Whatever the page did, the next item starts on a fresh one.
            m_spent = true;
            if (collected.status != CollectResult::Status::Closing)
                reportFailure(messages, QStringLiteral("%1: %2").arg(shownAddress,
                                                                     CollectMessages::failure(collected)));
            if (collected.status == CollectResult::Status::Blocked) {
                messages.writeLine(QStringLiteral(
                    "talvesk: log in or pass the check in the Talvesk window (talvesk without arguments); "
                    "the command line uses its cookies"));
                outcome.status = ExitBlocked;
            } else {
                outcome.status = ExitPageFailed;
            }
            co_return outcome;
        }
        collectLines.showResult(collected);
        const auto problem = [&collected](DescriptionProblem which) {
            return CollectMessages::descriptionProblem(which, collected.timeLimitSeconds);
        };
        if (collected.descriptionFailure != DescriptionProblem::None) {
            reportFailure(messages, QStringLiteral("%1: the description pictures could not be read: %2")
                                        .arg(shownAddress, problem(collected.descriptionFailure)));
            outcome.status = ExitPicturesFailed;
        }
        if (collected.descriptionCutShort != DescriptionProblem::None) {
            reportFailure(messages, QStringLiteral("%1: the description pictures were read only in part: %2")
                                        .arg(shownAddress, problem(collected.descriptionCutShort)));
            outcome.status = ExitPicturesFailed;
        }
        if (collected.set.simplified) {
            reportFailure(messages,
                          QStringLiteral("%1: the marketplace served a simplified page at every load "
                                         "(no description; main pictures may be missing)")
                              .arg(shownAddress));
            outcome.status = ExitPicturesFailed;
        }
        if (m_options.saveFolder.isEmpty()) {
            outcome.output = m_options.json ? collectedSetJson(address, collected.set) + QLatin1Char('\n')
                                            : collectedSetListing(address, collected.set);
            co_return outcome;
        }
        const int collectStatus = outcome.status;
        DownloadOptions downloadOptions;
        downloadOptions.concurrency = m_options.jobs;
        // As wget -P and curl --create-dirs do.
        downloadOptions.makeChosenFolder = true;
        downloadOptions.keepFolderWhenNothingSaved = true;
        downloadOptions.askSaveFolder = saveFolderQuestion(dialogs);
        downloadOptions.failureText = fetchFailureText;
        DownloadLines lines(messages, dialogs);
        downloadOptions.progress = [&lines](const DownloadProgress &progress) { lines.show(progress); };
        DownloadCommand download(m_loop, downloadOptions);
        m_download = &download;
        CollectedSet set = collected.set;
        set.address = address;
        set.pageAddress = m_itemBrowser->address().toString();
        set.collectedAt = QDateTime::currentDateTimeUtc();
        const DownloadResult saved = co_await download.run(set);
        m_download = nullptr;
        lines.showEnd(saved);
        outcome.status =
            std::max(collectStatus, downloadStatus(saved, shownAddress, messages, outcome.output));
        co_return outcome;
    }

    // Empties the item page and the description document's for the next item: blank pages
    // that must load within a short limit. A page whose handlers for leaving it hold its
    // renderer does not, and the slot is then spent: the next item gets fresh pages, with
    // renderers of their own.
    QCoro::Task<> letGo()
    {
        Waits waits(m_loop);
        waits.dependOn(m_itemBrowser->presence());
        waits.dependOn(m_descriptionBrowser->presence());
        m_letGo = &waits;
        const std::int64_t deadline = m_loop.now() + kLetGoMs;
        for (QtPageBrowser *browser : {m_itemBrowser, m_descriptionBrowser}) {
            if (browser == m_descriptionBrowser &&
                browser->address() == QUrl(QStringLiteral("about:blank")) &&
                browser->loadState() != PageBrowser::LoadState::Loading)
                continue; // nothing was read in it, or it let go already
            browser->navigateBlank();
            bool cutShort = false;
            while (!cutShort && browser->loadState() == PageBrowser::LoadState::Loading &&
                   m_loop.now() < deadline) {
                const Waited<bool> changed =
                    co_await waitForChange(waits, *browser, static_cast<int>(deadline - m_loop.now()));
                cutShort = changed.cutShort();
            }
            if (cutShort || browser->loadState() != PageBrowser::LoadState::Finished)
                m_spent = true;
        }
        m_letGo = nullptr;
    }

    // Stops what runs: the download drops its partial files at once, the pages go, so that
    // they load, run and fetch nothing more, and the collect ends without a word from the
    // event loop (its waits on the pages end with them).
    void stop()
    {
        if (m_letGo)
            m_letGo->abort();
        if (m_collect)
            m_collect->abort(CollectAbort::Closing);
        if (m_download)
            m_download->abort();
        if (!m_itemBrowser)
            return; // stopped before
        delete m_itemBrowser->view();
        delete m_descriptionBrowser->view();
        m_itemBrowser = nullptr;
        m_descriptionBrowser = nullptr;
    }

    // The last item failed, or its page did not let go of it: the page may be stopped,
    // navigating, held or anywhere, so the slot is replaced rather than reused.
    bool spent() const { return m_spent; }

private:
    EventLoop &m_loop;
    ScrollTurns &m_scrollTurns;
    const CommandLineOptions &m_options;
    std::FILE *m_terminal;
    QWidget m_host;
    QtPageBrowser *m_itemBrowser = nullptr; // owned by its view
    QtPageBrowser *m_descriptionBrowser = nullptr;
    CollectCommand *m_collect = nullptr;   // while one runs
    DownloadCommand *m_download = nullptr; // while one runs
    Waits *m_letGo = nullptr;              // while the page lets go
    bool m_spent = false;
};

// The items of a batch, handed to its pages in order; results printed in order as they end.
class Batch final
{
public:
    // Items whose outcome is done already are not collected.
    Batch(QStringList addresses, std::vector<ItemOutcome> outcomes, const CommandLineOptions &options,
          std::FILE *terminal)
        : m_addresses(std::move(addresses)), m_options(options), m_terminal(terminal),
          m_outcomes(std::move(outcomes))
    {
    }

    // Runs every item on at most options.pages pages at once; returns the highest status, or
    // 128 + the signal that stopped the run.
    int run(BrowserSetup &setup, TerminationSignals &termination, const std::function<void()> &runEventLoop)
    {
        QObject stopping;
        QObject::connect(&termination, &TerminationSignals::received, &stopping, [this] { stop(); });
        const qsizetype pages = std::min<qsizetype>(m_options.pages, m_addresses.size());
        m_running = static_cast<int>(pages);
        // One page scrolled per core: more at once only draw for longer. Fewer leave the cores
        // idle while a scroll waits for its frames (bench/batch: 4 pages on 2 cores gain 1.57
        // times with one turn, 1.83 to 2.00 with two).
        m_scrollTurns = std::make_unique<ScrollTurns>(std::max(1, QThread::idealThreadCount()));
        for (qsizetype p = 0; p < pages; ++p)
            runPage(setup);
        if (m_running > 0)
            runEventLoop();
        reportNeverStarted();
        if (termination.receivedSignal() != 0) {
            writeTo(m_terminal,
                    QStringLiteral("talvesk: stopped by signal %1\n").arg(termination.receivedSignal()));
            return termination.exitStatus();
        }
        if (m_unwritten)
            return std::max<int>(*m_unwritten, ExitPicturesFailed);
        return highestStatus();
    }

private:
    QCoro::Task<> runPage(BrowserSetup &setup)
    {
        std::unique_ptr<PageSlot> slot;
        const qsizetype count = m_addresses.size();
        while (m_next < count && !m_stopped && !m_blocked) {
            const qsizetype i = m_next++;
            if (m_outcomes[static_cast<std::size_t>(i)].done)
                continue; // refused before the run
            const QString prefix = itemPrefix(m_options, i, count);
            if (skipSaved(i, prefix))
                continue;
            // Every item starts as if it were the first: on the page of the item before only if
            // that page lets go of it, on a fresh one otherwise.
            if (slot && !slot->spent()) {
                m_slots.push_back(slot.get());
                co_await slot->letGo();
                m_slots.erase(std::find(m_slots.begin(), m_slots.end(), slot.get()));
                if (m_stopped)
                    break;
            }
            if (!slot || slot->spent())
                slot = std::make_unique<PageSlot>(setup, setup.eventLoop(), *m_scrollTurns, m_options,
                                                  m_terminal);
            if (!co_await pauseBeforeStart(setup.eventLoop()) || m_blocked)
                break;
            m_slots.push_back(slot.get());
            ItemOutcome outcome = co_await slot->collect(m_addresses.at(i), prefix);
            m_slots.erase(std::find(m_slots.begin(), m_slots.end(), slot.get()));
            outcome.done = true;
            // The items after it would meet the same page, and more requests make the
            // marketplace's checks stricter: none is started.
            if (outcome.status == ExitBlocked)
                m_blocked = true;
            m_outcomes[static_cast<std::size_t>(i)] = std::move(outcome);
            printInOrder();
        }
        if (--m_running == 0)
            QCoreApplication::quit();
    }

    // An item saved whole by an earlier run is not loaded: a line says where it is, and it
    // counts as done, its folder printed as a save prints it.
    bool skipSaved(qsizetype i, const QString &prefix)
    {
        if (!m_options.skipSaved)
            return false;
        if (!m_saved)
            m_saved = completeItemFolders(m_options.saveFolder);
        const QString folder = m_saved->value(m_addresses.at(i));
        if (folder.isEmpty())
            return false;
        TerminalMessageList(m_terminal, prefix, false)
            .writeLine(QStringLiteral("talvesk: %1: skipped, saved already in %2")
                           .arg(addressForTerminal(m_addresses.at(i)), folder));
        m_outcomes[static_cast<std::size_t>(i)] = {ExitDone, folder + QLatin1Char('\n'), true};
        printInOrder();
        return true;
    }

    // Keeps the pause between the starts of two item pages, whichever page starts them: each
    // start takes its time in turn. False when the run was stopped meanwhile.
    QCoro::Task<bool> pauseBeforeStart(EventLoop &loop)
    {
        if (m_options.pauseMaxMs <= 0)
            co_return !m_stopped;
        const std::int64_t now = loop.now();
        const std::int64_t start = m_lastStart ? std::max(now, *m_lastStart + pauseMs(m_options)) : now;
        m_lastStart = start;
        if (start > now) {
            Waits waits(loop);
            m_pauses.push_back(&waits);
            // Cut short or not, whether the run was stopped is told below.
            const Waited<bool> slept = co_await waits.sleep(static_cast<int>(start - now));
            static_cast<void>(slept);
            m_pauses.erase(std::find(m_pauses.begin(), m_pauses.end(), &waits));
        }
        co_return !m_stopped;
    }

    // Names each item that a login or check page kept from being started.
    void reportNeverStarted()
    {
        if (!m_blocked || m_stopped)
            return;
        const qsizetype count = m_addresses.size();
        for (qsizetype i = 0; i < count; ++i) {
            ItemOutcome &outcome = m_outcomes[static_cast<std::size_t>(i)];
            if (outcome.done)
                continue;
            TerminalMessageList(m_terminal, itemPrefix(m_options, i, count), false)
                .writeLine(QStringLiteral("talvesk: %1: not collected: the marketplace asked to log in or to "
                                          "pass a check")
                               .arg(addressForTerminal(m_addresses.at(i))));
            outcome = {ExitBlocked, QString(), true};
        }
        printInOrder();
    }

    // What runs ends now: collects without a word, downloads without partial files.
    void stop()
    {
        m_stopped = true;
        for (PageSlot *slot : m_slots)
            slot->stop();
        for (Waits *pause : m_pauses)
            pause->abort();
    }

    int highestStatus() const
    {
        int status = ExitDone;
        for (const ItemOutcome &outcome : m_outcomes)
            status = std::max(status, outcome.status);
        return status;
    }

    // Results that cannot be written (a full disk, a closed pipe) would be lost without a
    // word: the run ends, keeping what it has saved.
    void printInOrder()
    {
        while (!m_unwritten && m_printed < m_addresses.size() &&
               m_outcomes[static_cast<std::size_t>(m_printed)].done) {
            if (!writeTo(stdout, m_outcomes[static_cast<std::size_t>(m_printed++)].output)) {
                const int error = errno;
                m_unwritten = highestStatus();
                writeTo(m_terminal, QStringLiteral("talvesk: cannot write the results: %1\n")
                                        .arg(QString::fromLocal8Bit(std::strerror(error))));
                stop();
            }
        }
    }

    const QStringList m_addresses;
    const CommandLineOptions &m_options;
    std::FILE *m_terminal;
    std::vector<ItemOutcome> m_outcomes;
    qsizetype m_next = 0;
    qsizetype m_printed = 0;
    int m_running = 0;
    std::vector<PageSlot *> m_slots; // those collecting or downloading
    std::unique_ptr<ScrollTurns> m_scrollTurns;
    bool m_stopped = false;
    bool m_blocked = false;         // an item met a login or check page
    std::optional<int> m_unwritten; // the highest status when the results could not be written
    std::optional<QHash<QString, QString>> m_saved; // --skip-saved: item folders by address, once read
    std::optional<std::int64_t> m_lastStart;        // of an item page, by the loop's clock
    std::vector<Waits *> m_pauses;                  // pages pausing before their next start
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

} // namespace

int runCollectCommandLine(const CommandLineOptions &options, std::FILE *terminal,
                          const std::function<void()> &runEventLoop)
{
    std::optional<QStringList> addresses = allAddresses(options, terminal);
    if (!addresses)
        return ExitUsage;
    for (QString &address : *addresses)
        address = addressOfSharedText(address);
    std::vector<ItemOutcome> outcomes(static_cast<std::size_t>(addresses->size()));
    refuseNonAddresses(*addresses, options, terminal, outcomes);
    refuseTooLongAddresses(*addresses, options, terminal, outcomes);
    if (std::all_of(outcomes.begin(), outcomes.end(), [](const ItemOutcome &o) { return o.done; }))
        return ExitPageFailed;

    // A reader that has gone (a closed pipe) fails the write of the results, which is
    // reported, instead of killing the run between two of its files.
    std::signal(SIGPIPE, SIG_IGN);
    // Installed before the profile copy is made, so a stop always removes it.
    TerminationSignals termination;
    BrowserSetup setup(BrowserSetup::Storage::Persistent);
    Batch batch(*addresses, std::move(outcomes), options, terminal);
    return batch.run(setup, termination, runEventLoop);
}

} // namespace talvesk
