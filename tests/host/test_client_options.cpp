#include "host/ClientOptions.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct LineCase
{
    std::vector<const char *> arguments; // after the program name
    const char *host;                    // "" when no --server
    int port;
    const char *modules;
    std::vector<const char *> opens;
    const char *error; // start of the error; "" when none
};

class CommandLine : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(CommandLine, Parses)
{
    const LineCase &c = GetParam();
    QStringList arguments{QStringLiteral("kvr-client")};
    for (const char *argument : c.arguments)
        arguments.append(QString::fromUtf8(argument));
    const ClientOptions options = ClientOptions::Parse(arguments);
    if (*c.error) {
        EXPECT_TRUE(options.Error().startsWith(QString::fromUtf8(c.error)))
            << options.Error().toStdString();
        return;
    }
    EXPECT_EQ(options.Error(), QString());
    EXPECT_EQ(options.ServerHost(), QString::fromUtf8(c.host));
    EXPECT_EQ(options.HasServer(), *c.host != '\0');
    EXPECT_EQ(options.ServerPort(), c.port);
    EXPECT_EQ(options.ModulesDir(), QString::fromUtf8(c.modules));
    QStringList opens;
    for (const char *code : c.opens)
        opens.append(QString::fromUtf8(code));
    EXPECT_EQ(options.Opens(), opens);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLine,
    ::testing::Values(
        LineCase{{}, "", 0, "", {}, ""},
        LineCase{{"--server", "10.0.0.5:2140"}, "10.0.0.5", 2140, "", {}, ""},
        LineCase{{"--server=app.example:9000"}, "app.example", 9000, "", {}, ""},
        LineCase{{"--server", "[::1]:2141"}, "::1", 2141, "", {}, ""},
        LineCase{{"--modules", "/opt/kvr/modules", "--open", "KVR51400", "--open", "kvr72300"},
                 "",
                 0,
                 "/opt/kvr/modules",
                 {"KVR51400", "KVR72300"},
                 ""},
        LineCase{{"--server", "host"}, "", 0, "", {}, "Endereço de servidor inválido"},
        LineCase{{"--server", "host:0"}, "", 0, "", {}, "Endereço de servidor inválido"},
        LineCase{{"--server", "host:70000"}, "", 0, "", {}, "Endereço de servidor inválido"},
        LineCase{{"--server", ":2140"}, "", 0, "", {}, "Endereço de servidor inválido"},
        LineCase{{"--open"}, "", 0, "", {}, "A opção --open precisa de um valor."},
        LineCase{{"--open", " "}, "", 0, "", {}, "Código de módulo vazio"},
        LineCase{{"--verbose"}, "", 0, "", {}, "Opção desconhecida: --verbose"}));

class Help : public ::testing::TestWithParam<std::vector<const char *>>
{
};

TEST_P(Help, IsRequestedWhateverElseIsGiven)
{
    QStringList arguments{QStringLiteral("kvr-client")};
    for (const char *argument : GetParam())
        arguments.append(QString::fromUtf8(argument));
    EXPECT_TRUE(ClientOptions::Parse(arguments).HelpRequested());
}

INSTANTIATE_TEST_SUITE_P(Lines, Help,
                         ::testing::Values(std::vector<const char *>{"--help"},
                                           std::vector<const char *>{"-h"},
                                           std::vector<const char *>{"--open", "X", "--help"},
                                           std::vector<const char *>{"--help", "--verbose"}));

TEST(Help, ListsEveryOption)
{
    const QString usage = ClientOptions::Usage();
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Uso: kvr-client"))) << usage.toStdString();
    for (const char *option : {"--server HOST:PORTA", "--modules PASTA", "--open CODIGO", "--help"})
        EXPECT_TRUE(usage.contains(QString::fromUtf8(option))) << option;
}

TEST(ServerChoice, CommandLineWinsAndIsRemembered)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kvr-client.conf"));
    QString host;
    int port = 0;
    {
        QSettings settings(file, QSettings::IniFormat);
        ClientOptions::Parse({QStringLiteral("kvr-client")}).ChooseServer(settings, &host, &port);
        EXPECT_EQ(host, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(port, 2140);
        ClientOptions::Parse({QStringLiteral("kvr-client"), QStringLiteral("--server"),
                              QStringLiteral("db-host:3000")})
            .ChooseServer(settings, &host, &port);
        EXPECT_EQ(host, QStringLiteral("db-host"));
        EXPECT_EQ(port, 3000);
    }
    // A later start without --server uses the last server used.
    QSettings settings(file, QSettings::IniFormat);
    host.clear();
    port = 0;
    ClientOptions::Parse({QStringLiteral("kvr-client")}).ChooseServer(settings, &host, &port);
    EXPECT_EQ(host, QStringLiteral("db-host"));
    EXPECT_EQ(port, 3000);
}

} // namespace
