// The command-line and address glue both programs share.
#include "platform/CommandLine.h"
#include "platform/HostPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kvr::platform::CommandLine;
using kvr::platform::ParseHostPort;

TEST(Address, SplitsHostAndPort)
{
    const struct
    {
        const char *text;
        int minPort;
        const char *host;
        int port;
    } taken[] = {{"127.0.0.1:2140", 1, "127.0.0.1", 2140},
                 {"app.example:65535", 1, "app.example", 65535},
                 {"[::1]:2141", 1, "::1", 2141},
                 {"::1:2141", 1, "::1", 2141},
                 {"0.0.0.0:0", 0, "0.0.0.0", 0}};
    for (const auto &c : taken) {
        const auto address = ParseHostPort(QString::fromUtf8(c.text), quint16(c.minPort));
        ASSERT_TRUE(address.has_value()) << c.text;
        EXPECT_EQ(address->host, QString::fromUtf8(c.host));
        EXPECT_EQ(address->port, c.port);
    }
    EXPECT_FALSE(ParseHostPort(QStringLiteral("0.0.0.0:0"), 1).has_value()) << "below the least";
    // Refused even when any port is allowed.
    for (const char *text :
         {"host:65536", "host:-1", "host:porta", "host:", "host", ":2140", " :2140", "[]:2140", ""})
        EXPECT_FALSE(ParseHostPort(QString::fromUtf8(text), 0).has_value()) << '"' << text << '"';
}

TEST(Line, NamesTheArgumentItRefuses)
{
    using F = CommandLine::Fault;
    const struct
    {
        std::vector<const char *> arguments; // after the program name
        CommandLine::Fault fault;
        const char *faultArgument;
        bool help;
    } cases[] = {{{}, F::None, "", false},
                 {{"--db", "sqlite:x", "--seed"}, F::None, "", false},
                 {{"--db=sqlite:x", "-seed"}, F::None, "", false},
                 {{"--db", "--seed"}, F::None, "", false}, // a value, as typed
                 {{"--help"}, F::None, "", true},
                 {{"-h"}, F::None, "", true},
                 {{"--bogus"}, F::UnknownOption, "--bogus", false},
                 {{"--seed", "--bogus=1"}, F::UnknownOption, "--bogus=1", false},
                 {{"--seed=1"}, F::UnknownOption, "--seed=1", false},
                 {{"extra"}, F::UnknownOption, "extra", false},
                 {{"--db"}, F::MissingValue, "--db", false},
                 {{"--seed", "--db"}, F::MissingValue, "--db", false},
                 {{"--help", "--bogus"}, F::UnknownOption, "--bogus", true}};
    for (const auto &c : cases) {
        CommandLine line(
            {QCommandLineOption(QStringLiteral("db"), QString(), QStringLiteral("URL")),
             QCommandLineOption(QStringLiteral("seed"))});
        QStringList arguments{QStringLiteral("program")};
        for (const char *argument : c.arguments)
            arguments.append(QString::fromUtf8(argument));
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(line.Parse(arguments), c.fault);
        EXPECT_EQ(line.FaultArgument(), QString::fromUtf8(c.faultArgument));
        EXPECT_EQ(line.HelpRequested(), c.help);
    }
}

TEST(Line, HelpListsEveryOptionWithItsValueAligned)
{
    CommandLine line(
        {QCommandLineOption(QStringLiteral("db"), QStringLiteral("o banco"), QStringLiteral("URL")),
         QCommandLineOption(QStringLiteral("seed"), QStringLiteral("carrega"))});
    EXPECT_EQ(line.HelpText(QStringLiteral("uso: programa [--db URL] [--seed]")),
              QStringLiteral("uso: programa [--db URL] [--seed]\n"
                             "  --db URL    o banco\n"
                             "  --seed      carrega\n"
                             "  -h, --help  mostra esta ajuda\n"));
}

} // namespace
