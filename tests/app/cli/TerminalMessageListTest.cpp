#include "app/cli/TerminalMessageList.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

QString contents(std::FILE *file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray bytes;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    return QString::fromUtf8(bytes);
}

} // namespace

// Off a terminal, each line is written once, oldest first, in the last form it had on top.
TEST(TerminalMessageList, WritesLinesOldestFirstInTheirLastForm)
{
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        talvesk::TerminalMessageList messages(file);
        messages.insertLine(QStringLiteral("图片下载进度:0/2,已完成0%"));
        messages.setTopLine(QStringLiteral("图片下载进度:1/2,已完成50%"));
        messages.setTopLine(QStringLiteral("图片下载进度:2/2,已完成100%"));
        messages.insertLine(QStringLiteral("done"));
        messages.setTopLine(QStringLiteral("done, rewritten"));
    }
    EXPECT_EQ(contents(file), QStringLiteral("图片下载进度:2/2,已完成100%\ndone, rewritten\n"));
    std::fclose(file);
}

// A rewrite with nothing inserted yet still reaches the output.
TEST(TerminalMessageList, RewriteOfAnEmptyListIsKept)
{
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        talvesk::TerminalMessageList messages(file);
        messages.setTopLine(QStringLiteral("only"));
    }
    EXPECT_EQ(contents(file), QStringLiteral("only\n"));
    std::fclose(file);
}
