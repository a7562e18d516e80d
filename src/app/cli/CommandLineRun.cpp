#include "app/cli/CommandLineRun.h"

#include "app/cli/CollectedSetOutput.h"
#include "app/cli/CommandLineOptions.h"
#include "app/cli/HeadlessControls.h"
#include "app/cli/TerminalDialogs.h"
#include "app/cli/TerminalMessageList.h"
#include "collect/CollectCommand.h"
#include "collect/PicList.h"
#include "download/DownloadCommand.h"
#include "platform/SteadyClock.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPageBrowser.h"
#include "platform/qt/QtTicker.h"

#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace talvesk {

namespace {

void writeTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// One line on stderr naming what failed, after the command's own lines.
void reportFailure(TerminalMessageList &messages, const QString &line)
{
    messages.flush();
    writeTo(stderr, QStringLiteral("talvesk: %1\n").arg(line));
}

int downloadStatus(const DownloadResult &result, const QString &address, TerminalMessageList &messages)
{
    switch (result.outcome) {
    case DownloadResult::Outcome::Done:
        messages.flush();
        writeTo(stdout, result.itemFolder + QLatin1Char('\n'));
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

} // namespace

int runCollectCommandLine(const CommandLineOptions &options)
{
    TerminalMessageList messages(stderr);
    TerminalDialogs dialogs(messages, options.saveFolder);
    QtEventLoop loop;

    // The page needs a viewport of a desktop window's size for lazily shown pictures to appear
    // as they would on screen; the offscreen platform draws it nowhere.
    const auto profile = QtPageBrowser::createPersistentProfile();
    QWidget host;
    host.resize(1280, 900);
    auto *layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    QtPageBrowser webBrowser1(profile.get(), &host);
    QtPageBrowser webBrowser2(profile.get(), &host);
    layout->addWidget(webBrowser1.view());
    layout->addWidget(webBrowser2.view());
    webBrowser1.setSilent(true);
    webBrowser2.setSilent(true);
    webBrowser2.setVisible(false);
    host.show();

    CollectedSet set;
    HeadlessControls controls(webBrowser1, webBrowser2);
    const SteadyClock clock;
    QtTicker ticker(&host, QStringLiteral("Timer1"));
    CollectCommand collectCommand(webBrowser1, webBrowser2, controls, messages, loop, clock, ticker, set);

    DownloadOptions downloadOptions;
    downloadOptions.concurrency = options.jobs;

    int status = ExitDone;
    for (const QString &address : options.addresses) {
        controls.setAddress(address);
        const CollectResult collected = collectCommand.run();
        if (!collected.ok()) {
            reportFailure(messages, QStringLiteral("%1: %2").arg(address, collected.errorString));
            status = std::max<int>(status, ExitPageFailed);
            continue;
        }
        if (options.saveFolder.isEmpty()) {
            messages.flush();
            writeTo(stdout, (options.json ? collectedSetJson(address, set) + QLatin1Char('\n')
                                          : collectedSetListing(address, set)));
            continue;
        }
        DownloadCommand download(controls, dialogs, messages, downloadOptions);
        status = std::max(status, downloadStatus(download.run(set), address, messages));
    }
    messages.flush();
    return status;
}

} // namespace talvesk
