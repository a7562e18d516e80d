// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLineOptions.h"

#include <gtest/gtest.h>

using talvesk::CommandLineOptions;
using Mode = CommandLineOptions::Mode;

namespace {

CommandLineOptions parse(std::initializer_list<const char *> words)
{
    QStringList arguments{QStringLiteral("talvesk")};
    for (const char *word : words)
        arguments.append(QString::fromUtf8(word));
    return CommandLineOptions::parse(arguments);
}

} // namespace

// No arguments starts the window; --help and --version stand alone.
TEST(CommandLineOptions, ModesWithoutCollect)
{
    EXPECT_EQ(parse({}).mode, Mode::Window);
    EXPECT_EQ(parse({"--help"}).mode, Mode::Help);
    EXPECT_EQ(parse({"-h"}).mode, Mode::Help);
    EXPECT_EQ(parse({"--version"}).mode, Mode::Version);
    EXPECT_EQ(parse({"--version", "x"}).mode, Mode::UsageError);
}

// Addresses and options may come in any order; defaults hold when an option is absent.
TEST(CommandLineOptions, CollectTakesAddressesAndOptions)
{
    const CommandLineOptions plain = parse({"collect", "http://a/1", "b.example/2"});
    EXPECT_EQ(plain.mode, Mode::Collect);
    EXPECT_EQ(plain.addresses, (QStringList{QStringLiteral("http://a/1"), QStringLiteral("b.example/2")}));
    EXPECT_TRUE(plain.saveFolder.isEmpty());
    EXPECT_FALSE(plain.json);
    EXPECT_EQ(plain.jobs, 6);
    EXPECT_EQ(plain.pages, 1);
    EXPECT_EQ(plain.timeoutSeconds, 120);
    EXPECT_FALSE(plain.verbose);

    const CommandLineOptions full =
        parse({"collect", "--json", "http://a/1", "--save", "out dir", "--jobs", "2"});
    EXPECT_EQ(full.mode, Mode::Collect);
    EXPECT_TRUE(full.json);
    EXPECT_EQ(full.saveFolder, QStringLiteral("out dir"));
    EXPECT_EQ(full.jobs, 2);
    EXPECT_EQ(full.addresses, QStringList{QStringLiteral("http://a/1")});

    const CommandLineOptions batch =
        parse({"collect", "--input", "-", "--pages", "8", "--timeout", "30", "--verbose"});
    EXPECT_EQ(batch.mode, Mode::Collect);
    EXPECT_TRUE(batch.addresses.isEmpty());
    EXPECT_EQ(batch.inputFile, QStringLiteral("-"));
    EXPECT_EQ(batch.pages, 8);
    EXPECT_EQ(batch.timeoutSeconds, 30);
    EXPECT_TRUE(batch.verbose);

    const CommandLineOptions dashed = parse({"collect", "--", "--odd-address"});
    EXPECT_EQ(dashed.addresses, QStringList{QStringLiteral("--odd-address")});
}

// Every malformed command line is a usage error with a message naming the fault.
TEST(CommandLineOptions, RejectsBadCommandLines)
{
    const struct
    {
        std::initializer_list<const char *> words;
        const char *named;
    } cases[] = {
        {{"fetch", "x"}, "fetch"},
        {{"collect"}, "address"},
        {{"collect", "a", "--bogus"}, "--bogus"},
        {{"collect", "a", "--save"}, "--save"},
        {{"collect", "a", "--save", ""}, "--save"},
        {{"collect", "a", "--jobs", "0"}, "--jobs"},
        {{"collect", "a", "--jobs", "many"}, "many"},
        {{"collect", "a", "--jobs", "33"}, "--jobs"},
        {{"collect", "a", "--pages", "0"}, "--pages"},
        {{"collect", "a", "--pages", "9"}, "--pages"},
        {{"collect", "a", "--timeout", "0"}, "--timeout"},
        {{"collect", "a", "--timeout", "-5"}, "--timeout"},
        {{"collect", "a", "--input"}, "--input"},
        {{"collect", "a", "--input", ""}, "--input"},
    };
    for (const auto &c : cases) {
        const CommandLineOptions options = parse(c.words);
        EXPECT_EQ(options.mode, Mode::UsageError) << c.named;
        EXPECT_TRUE(options.error.contains(QString::fromUtf8(c.named))) << qPrintable(options.error);
    }
}

// An address list keeps its addresses in order, trimmed, without blank lines and comments.
TEST(CommandLineOptions, AddressListSkipsBlankLinesAndComments)
{
    EXPECT_EQ(CommandLineOptions::addressesOfList(QStringLiteral("# shop A\n\nhttp://a/1\r\n  b.example/2  \n"
                                                                 "  # later\nhttp://a/#x\n")),
              (QStringList{QStringLiteral("http://a/1"), QStringLiteral("b.example/2"),
                           QStringLiteral("http://a/#x")}));
    EXPECT_TRUE(CommandLineOptions::addressesOfList(QString()).isEmpty());
}

// --pause takes a time or a range in seconds, fractions allowed, never backwards or beyond an
// hour; --skip-saved needs the folder it looks in.
TEST(CommandLineOptions, PauseAndSkipSaved)
{
    const CommandLineOptions range =
        parse({"collect", "a", "--pause", "1.5-3", "--save", "d", "--skip-saved"});
    ASSERT_EQ(range.mode, Mode::Collect) << qPrintable(range.error);
    EXPECT_EQ(range.pauseMinMs, 1500);
    EXPECT_EQ(range.pauseMaxMs, 3000);
    EXPECT_TRUE(range.skipSaved);
    const CommandLineOptions fixed = parse({"collect", "a", "--pause", "4"});
    EXPECT_EQ(fixed.pauseMinMs, 4000);
    EXPECT_EQ(fixed.pauseMaxMs, 4000);
    for (const char *bad : {"3-1", "-1", "x", "3601", "1-"})
        EXPECT_EQ(parse({"collect", "a", "--pause", bad}).mode, Mode::UsageError) << bad;
    EXPECT_EQ(parse({"collect", "a", "--skip-saved"}).error, QStringLiteral("--skip-saved needs --save"));
}
