#include "host/ClientOptions.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

QStringList Arguments(const QString &line) // split at spaces
{
    return QStringList{QStringLiteral("kvr-client")} +
           line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(CommandLine, Parses)
{
    const struct
    {
        const char *arguments;
        const char *host; // "" when no --server
        int port;
        const char *modules;
        QStringList opens;
    } cases[] = {{"", "", 0, "", {}},
                 {"--server 10.0.0.5:2140", "10.0.0.5", 2140, "", {}},
                 {"--server=app.example:9000", "app.example", 9000, "", {}},
                 {"--server [::1]:2141", "::1", 2141, "", {}},
                 {"--modules /opt/kvr/modules --open KVR51400 --open kvr72300",
                  "",
                  0,
                  "/opt/kvr/modules",
                  {"KVR51400", "KVR72300"}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments);
        const ClientOptions options = ClientOptions::Parse(Arguments(c.arguments));
        EXPECT_EQ(options.Error(), QString());
        EXPECT_EQ(options.ServerHost(), QString::fromUtf8(c.host));
        EXPECT_EQ(options.HasServer(), *c.host != '\0');
        EXPECT_EQ(options.ServerPort(), c.port);
        EXPECT_EQ(options.ModulesDir(), QString::fromUtf8(c.modules));
        EXPECT_EQ(options.Opens(), c.opens);
    }
    const char *const badServer = "Endereço de servidor inválido";
    const struct
    {
        const char *arguments;
        const char *error; // its start
    } refused[] = {{"--server host", badServer},
                   {"--server host:0", badServer},
                   {"--server host:70000", badServer},
                   {"--server :2140", badServer},
                   {"--open", "A opção --open precisa de um valor."},
                   {"--verbose", "Opção desconhecida: --verbose"}};
    for (const auto &c : refused) {
        const QString error = ClientOptions::Parse(Arguments(c.arguments)).Error();
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error))) << error.toStdString();
    }
    const QString blank = ClientOptions::Parse(Arguments("--open") << QStringLiteral(" ")).Error();
    EXPECT_TRUE(blank.startsWith(QStringLiteral("Código de módulo vazio"))) << blank.toStdString();
}

// Installed under a prefix the modules are in PREFIX/lib/kvr/modules; in the
// build tree (no such folder) beside the program's folder.
TEST(CommandLine, ModulesAreFoundWhereTheProgramIsInstalled)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("usr/lib/kvr/modules"));
    for (const auto &[program, found] :
         {std::pair{"usr/bin", "usr/lib/kvr/modules"}, std::pair{"build/bin", "build/modules"}})
        EXPECT_EQ(ClientOptions::DefaultModulesDir(root.filePath(program)), root.filePath(found));
}

TEST(Help, IsRequestedWhateverElseIsGiven)
{
    for (const char *line : {"--help", "-h", "--open X --help", "--help --verbose"})
        EXPECT_TRUE(ClientOptions::Parse(Arguments(line)).HelpRequested()) << line;
}

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
        ClientOptions::Parse(Arguments(QString())).ChooseServer(settings, &host, &port);
        EXPECT_EQ(host, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(port, 2140);
        ClientOptions::Parse(Arguments(QStringLiteral("--server db-host:3000")))
            .ChooseServer(settings, &host, &port);
        EXPECT_EQ(host, QStringLiteral("db-host"));
        EXPECT_EQ(port, 3000);
    }
    // A later start without --server uses the last server used.
    QSettings settings(file, QSettings::IniFormat);
    host.clear();
    port = 0;
    ClientOptions::Parse(Arguments(QString())).ChooseServer(settings, &host, &port);
    EXPECT_EQ(host, QStringLiteral("db-host"));
    EXPECT_EQ(port, 3000);
}

TEST(Security, ComesFromTheCommandLineElseTheSettings)
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
    const struct
    {
        const char *arguments; // split at spaces; a file is @name
        const char *settings;  // "key=value;..."
        const char *expected;  // "token|tls|system CAs|CA count", or the whole error
    } cases[] = {
        {"", "", "|0|0|0"},
        {"--token-file @token", "", "s3cr3t|0|0|0"},
        {"--tls", "", "|1|1|0"},
        {"--tls-ca=@ca.pem", "", "|1|0|1"},
        {"--tls --tls-ca @ca.pem", "", "|1|1|1"},
        {"", "connection/tokenFile=@token;connection/token=outro", "s3cr3t|0|0|0"},
        {"", "connection/token= direto ", "direto|0|0|0"},
        {"--token-file @other-token", "connection/tokenFile=@token", "outro|0|0|0"},
        {"", "connection/tlsCaFile=@ca.pem", "|1|0|1"},
        {"", "connection/tls=true", "|1|1|0"},
        {"--tls", "connection/tlsCaFile=@bad.pem", "|1|1|0"},
        {"--token-file @missing", "", "Não foi possível ler o arquivo de token \"@missing\"."},
        {"--token-file @folder", "", "Não foi possível ler o arquivo de token \"@folder\"."},
        {"--token-file @empty", "", "O arquivo de token \"@empty\" está vazio."},
        {"--tls-ca @missing", "",
         "Não foi possível ler o arquivo de autoridade certificadora \"@missing\"."},
        {"--tls-ca @bad.pem", "",
         "O arquivo de autoridade certificadora \"@bad.pem\" não contém um certificado PEM "
         "válido."},
        {"--tls-ca", "", "A opção --tls-ca precisa de um valor."},
        {"--tls=sim", "", "Opção desconhecida: --tls=sim"},
        {"", "connection/tokenFile=@empty",
         "O arquivo de token \"@empty\" está vazio (configuração connection/tokenFile)."},
        {"", "connection/tlsCaFile=@bad.pem",
         "O arquivo de autoridade certificadora \"@bad.pem\" não contém um certificado PEM "
         "válido (configuração connection/tlsCaFile)."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + " / " + c.settings);
        QSettings settings(dir.filePath(QStringLiteral("kvr-client.conf")), QSettings::IniFormat);
        settings.clear();
        for (const QString &entry : resolve(c.settings).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            settings.setValue(entry.section(QLatin1Char('='), 0, 0),
                              entry.section(QLatin1Char('='), 1));
        const ClientOptions options = ClientOptions::Parse(Arguments(resolve(c.arguments)));
        TConnectionSecurity security;
        QString outcome = options.Error();
        if (outcome.isEmpty() && options.ChooseSecurity(settings, &security, &outcome)) {
            outcome = QStringLiteral("%1|%2|%3|%4")
                          .arg(security.token)
                          .arg(int(security.tls))
                          .arg(int(security.trustSystemCas))
                          .arg(security.trustedCas.size());
        }
        EXPECT_EQ(outcome, resolve(c.expected));
    }
}

} // namespace
