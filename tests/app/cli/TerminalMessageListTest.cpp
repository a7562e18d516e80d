// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminalMessageList.h"
#include "app/DownloadLines.h"
#include "app/cli/TerminalDialogs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using talvesk::TerminalMessageList;

namespace {

// What a message list writes to a stream that is not a terminal, up to its end.
QString writtenBy(const std::function<void(TerminalMessageList &)> &use)
{
    std::FILE *file = std::tmpfile();
    if (!file)
        return QStringLiteral("<no temporary file>");
    {
        TerminalMessageList messages(file);
        use(messages);
    }
    std::rewind(file);
    QByteArray bytes;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

} // namespace

// Off a terminal, each line is written once, oldest first, in the last form it had on top; a
// line rewritten after later lines came is written again in its new form.
TEST(TerminalMessageList, WritesLinesOldestFirstInTheirLastForm)
{
    const QString written = writtenBy([](TerminalMessageList &messages) {
        const auto progress = messages.insertLine(QStringLiteral("图片下载进度:0/2,已完成0%"));
        messages.setLine(progress, QStringLiteral("图片下载进度:1/2,已完成50%"));
        messages.setLine(progress, QStringLiteral("图片下载进度:2/2,已完成100%"));
        const auto done = messages.insertLine(QStringLiteral("done"));
        messages.setLine(done, QStringLiteral("done, rewritten"));
        messages.setLine(progress, QStringLiteral("progress, later"));
    });
    EXPECT_EQ(written, QStringLiteral("图片下载进度:2/2,已完成100%\ndone, rewritten\nprogress, later\n"));
}

// A message box's line keeps its place in time: after the running line as it read then, and
// the running line goes on and is written again in its last form.
TEST(TerminalMessageList, AsideLineKeepsItsPlaceAmongRewrites)
{
    const QString written = writtenBy([](TerminalMessageList &messages) {
        const auto progress = messages.insertLine(QStringLiteral("图片下载进度:0/2,已完成0%"));
        messages.setLine(progress, QStringLiteral("图片下载进度:1/2,已完成50%"));
        messages.writeAside(QStringLiteral("下载提示: 无采集到颜色主图"));
        messages.setLine(progress, QStringLiteral("图片下载进度:2/2,已完成100%"));
        messages.insertLine(QStringLiteral("图片下载完成,保存至:/x"));
    });
    EXPECT_EQ(written, QStringLiteral("图片下载进度:1/2,已完成50%\n下载提示: 无采集到颜色主图\n"
                                      "图片下载进度:2/2,已完成100%\n图片下载完成,保存至:/x\n"));
}

// A box shown while the running line has not changed since does not write that line twice.
TEST(TerminalMessageList, AsideLineDoesNotRepeatAnUnchangedTopLine)
{
    const QString written = writtenBy([](TerminalMessageList &messages) {
        messages.insertLine(QStringLiteral("3/3"));
        messages.writeAside(QStringLiteral("box one"));
        messages.writeAside(QStringLiteral("box two"));
    });
    EXPECT_EQ(written, QStringLiteral("3/3\nbox one\nbox two\n"));
}

// A download's lines on the terminal: short folder name, last progress line, box, a stop saving nothing.
TEST(TerminalMessageList, ShowsTheLinesOfADownload)
{
    using talvesk::DownloadProgress;
    using talvesk::DownloadResult;
    const QString written = writtenBy([](TerminalMessageList &messages) {
        talvesk::TerminalDialogs dialogs(messages, {});
        talvesk::DownloadLines lines(messages, dialogs);
        DownloadProgress progress;
        progress.step = DownloadProgress::Step::ItemFolder;
        progress.itemFolder = QStringLiteral("/s/宝贝");
        progress.shortenedName = QStringLiteral("宝贝");
        lines.show(progress);
        progress.step = DownloadProgress::Step::Pictures;
        progress.total = 2;
        lines.show(progress);
        progress.done = 1;
        lines.show(progress);
        progress.step = DownloadProgress::Step::EmptyList;
        progress.list = talvesk::PictureKind::Description;
        lines.show(progress);
        DownloadResult result;
        result.cancelled = true;
        result.total = 2;
        result.failures.append({QStringLiteral("http://h/a.jpg"),
                                {},
                                false,
                                {.kind = talvesk::FetchFailure::Kind::HttpStatus, .code = 404}});
        result.itemFolderRemoved = true;
        lines.showEnd(result);
    });
    EXPECT_EQ(written, QStringLiteral("消息提示:宝贝标题过长,文件夹名已截短为:宝贝\n"
                                      "图片下载进度:1/2,已完成50%\n"
                                      "下载提示: 无采集到描述\n"
                                      "图片下载已取消,已保存0张\n"))
        << written.toStdString();
}
