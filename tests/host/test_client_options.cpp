#include "host/ClientOptions.h"

#include <QDir>
#include <QFile>
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
    for (const char *option : {"--server HOST:PORTA", "--modules PASTA", "--open CODIGO",
                               "--token-file ARQUIVO", "--tls ", "--tls-ca ARQUIVO", "--help"})
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

struct SecurityCase
{
    const char *arguments; // split at spaces; a file is @name
    const char *settings;  // "key=value;..."
    const char *expected;  // "token|tls|system CAs|CA count", or the whole error
};

class Security : public ::testing::TestWithParam<SecurityCase>
{
};

TEST_P(Security, ComesFromTheCommandLineElseTheSettings)
{
    QTemporaryDir dir;
    for (const auto &[name, text] : {std::pair{"token", "  s3cr3t \nsegunda\n"},
                                     {"other-token", "outro\n"},
                                     {"empty", "\n  \n"},
                                     {"bad.pem", "nenhum certificado\n"}}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QFile::copy(QString::fromLocal8Bit(qgetenv("KVR_SOURCE_DIR")) +
                    QStringLiteral("/tests/data/tls/ca.pem"),
                dir.filePath(QStringLiteral("ca.pem")));
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    auto resolve = [&dir](const char *text) {
        return QString::fromUtf8(text).replace(QLatin1Char('@'), dir.path() + QLatin1Char('/'));
    };

    QStringList arguments{QStringLiteral("kvr-client")};
    arguments += resolve(GetParam().arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QSettings settings(dir.filePath(QStringLiteral("kvr-client.conf")), QSettings::IniFormat);
    for (const QString &entry :
         resolve(GetParam().settings).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        settings.setValue(entry.section(QLatin1Char('='), 0, 0),
                          entry.section(QLatin1Char('='), 1));

    const ClientOptions options = ClientOptions::Parse(arguments);
    TConnectionSecurity security;
    QString outcome = options.Error();
    if (outcome.isEmpty() && options.ChooseSecurity(settings, &security, &outcome)) {
        outcome = QStringLiteral("%1|%2|%3|%4")
                      .arg(security.token)
                      .arg(int(security.tls))
                      .arg(int(security.trustSystemCas))
                      .arg(security.trustedCas.size());
    }
    EXPECT_EQ(outcome, resolve(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Security,
    ::testing::Values(
        SecurityCase{"", "", "|0|0|0"}, SecurityCase{"--token-file @token", "", "s3cr3t|0|0|0"},
        SecurityCase{"--tls", "", "|1|1|0"}, SecurityCase{"--tls-ca=@ca.pem", "", "|1|0|1"},
        SecurityCase{"--tls --tls-ca @ca.pem", "", "|1|1|1"},
        SecurityCase{"", "connection/tokenFile=@token;connection/token=outro", "s3cr3t|0|0|0"},
        SecurityCase{"", "connection/token= direto ", "direto|0|0|0"},
        SecurityCase{"--token-file @other-token", "connection/tokenFile=@token", "outro|0|0|0"},
        SecurityCase{"", "connection/tlsCaFile=@ca.pem", "|1|0|1"},
        SecurityCase{"", "connection/tls=true", "|1|1|0"},
        SecurityCase{"--tls", "connection/tlsCaFile=@bad.pem", "|1|1|0"},
        SecurityCase{"--token-file @missing", "",
                     "Não foi possível ler o arquivo de token \"@missing\"."},
        SecurityCase{"--token-file @folder", "",
                     "Não foi possível ler o arquivo de token \"@folder\"."},
        SecurityCase{"--token-file @empty", "", "O arquivo de token \"@empty\" está vazio."},
        SecurityCase{"--tls-ca @missing", "",
                     "Não foi possível ler o arquivo de autoridade certificadora \"@missing\"."},
        SecurityCase{"--tls-ca @bad.pem", "",
                     "O arquivo de autoridade certificadora \"@bad.pem\" não contém um "
                     "certificado PEM válido."},
        SecurityCase{"--tls-ca", "", "A opção --tls-ca precisa de um valor."},
        SecurityCase{"--tls=sim", "", "Opção desconhecida: --tls=sim"},
        SecurityCase{"", "connection/tokenFile=@empty",
                     "O arquivo de token \"@empty\" está vazio (configuração "
                     "connection/tokenFile)."},
        SecurityCase{"", "connection/tlsCaFile=@bad.pem",
                     "O arquivo de autoridade certificadora \"@bad.pem\" não contém um "
                     "certificado PEM válido (configuração connection/tlsCaFile)."}));

} // namespace
