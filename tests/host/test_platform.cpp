// The command-line and address glue both programs share.
#include "platform/CommandLine.h"
#include "platform/HostPort.h"

#include <gtest/gtest.h>

namespace {

using kvr::platform::CommandLine;
using kvr::platform::ParseHostPort;

struct AddressCase
{
    const char *text;
    int minPort;
    const char *host; // nullptr: refused
    int port;
};

class Address : public ::testing::TestWithParam<AddressCase>
{
};

TEST_P(Address, SplitsHostAndPort)
{
    const AddressCase &c = GetParam();
    const auto address = ParseHostPort(QString::fromUtf8(c.text), quint16(c.minPort));
    if (!c.host) {
        EXPECT_FALSE(address.has_value()) << address->host.toStdString();
        return;
    }
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->host, QString::fromUtf8(c.host));
    EXPECT_EQ(address->port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Address,
    ::testing::Values(
        AddressCase{"127.0.0.1:2140", 1, "127.0.0.1", 2140},
        AddressCase{"app.example:65535", 1, "app.example", 65535},
        AddressCase{"[::1]:2141", 1, "::1", 2141}, AddressCase{"::1:2141", 1, "::1", 2141},
        AddressCase{"0.0.0.0:0", 0, "0.0.0.0", 0}, AddressCase{"0.0.0.0:0", 1, nullptr, 0},
        AddressCase{"host:65536", 0, nullptr, 0}, AddressCase{"host:-1", 0, nullptr, 0},
        AddressCase{"host:porta", 0, nullptr, 0}, AddressCase{"host:", 0, nullptr, 0},
        AddressCase{"host", 0, nullptr, 0}, AddressCase{":2140", 0, nullptr, 0},
        AddressCase{" :2140", 0, nullptr, 0}, AddressCase{"[]:2140", 0, nullptr, 0},
        AddressCase{"", 0, nullptr, 0}));

struct LineCase
{
    std::vector<const char *> arguments; // after the program name
    CommandLine::Fault fault;
    const char *faultArgument;
    bool help;
};

class Line : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(Line, NamesTheArgumentItRefuses)
{
    const LineCase &c = GetParam();
    CommandLine line({QCommandLineOption(QStringLiteral("db"), QString(), QStringLiteral("URL")),
                      QCommandLineOption(QStringLiteral("seed"))});
    QStringList arguments{QStringLiteral("program")};
    for (const char *argument : c.arguments)
        arguments.append(QString::fromUtf8(argument));
    EXPECT_EQ(line.Parse(arguments), c.fault);
    EXPECT_EQ(line.FaultArgument(), QString::fromUtf8(c.faultArgument));
    EXPECT_EQ(line.HelpRequested(), c.help);
}

using F = CommandLine::Fault;
INSTANTIATE_TEST_SUITE_P(
    Table, Line,
    ::testing::Values(LineCase{{}, F::None, "", false},
                      LineCase{{"--db", "sqlite:x", "--seed"}, F::None, "", false},
                      LineCase{{"--db=sqlite:x", "-seed"}, F::None, "", false},
                      LineCase{{"--db", "--seed"}, F::None, "", false}, // a value, as typed
                      LineCase{{"--help"}, F::None, "", true}, LineCase{{"-h"}, F::None, "", true},
                      LineCase{{"--bogus"}, F::UnknownOption, "--bogus", false},
                      LineCase{{"--seed", "--bogus=1"}, F::UnknownOption, "--bogus=1", false},
                      LineCase{{"--seed=1"}, F::UnknownOption, "--seed=1", false},
                      LineCase{{"extra"}, F::UnknownOption, "extra", false},
                      LineCase{{"--db"}, F::MissingValue, "--db", false},
                      LineCase{{"--seed", "--db"}, F::MissingValue, "--db", false},
                      LineCase{{"--help", "--bogus"}, F::UnknownOption, "--bogus", true}));

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
