#include "server/ServerOptions.h"

#include "platform/CommandLine.h"
#include "platform/HostPort.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <limits>

using kvr::platform::CommandLine;

namespace kvr::server {

namespace {

const QCommandLineOption
    kListen(QStringLiteral("listen"),
            QStringLiteral("endereço de escuta (padrão 127.0.0.1:2140; porta 0 escolhe uma porta "
                           "livre)"),
            QStringLiteral("HOST:PORTA"));
const QCommandLineOption
    kDb(QStringLiteral("db"),
        QStringLiteral("sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO"),
        QStringLiteral("URL"));
const QCommandLineOption kSeed(QStringLiteral("seed"),
                               QStringLiteral("carrega os dados de referência num banco vazio"));
const QCommandLineOption
    kCfopTable(QStringLiteral("cfop-table"),
               QStringLiteral("tabela de CFOP (CSV CÓDIGO;DESCRIÇÃO) que --seed carrega (padrão: a "
                              "embutida no programa)"),
               QStringLiteral("ARQUIVO"));
const QCommandLineOption
    kMaxMessage(QStringLiteral("max-message"),
                QStringLiteral("tamanho máximo de uma mensagem (padrão 64 MiB)"),
                QStringLiteral("BYTES"));

const QCommandLineOption
    kDbPool(QStringLiteral("db-pool"),
            QStringLiteral("conexões com o banco de dados, cada uma atendendo uma chamada por vez "
                           "(padrão %1: duas por núcleo, no mínimo duas)")
                .arg(ServerOptions::defaultDbPool()),
            QStringLiteral("N"));
const QCommandLineOption
    kMaxConnections(QStringLiteral("max-connections"),
                    QStringLiteral("conexões de clientes ao mesmo tempo (padrão 1000)"),
                    QStringLiteral("N"));
const QCommandLineOption
    kMaxPending(QStringLiteral("max-pending"),
                QStringLiteral("memória para mensagens ainda em recepção, somada entre todas as "
                               "conexões (padrão 256 MiB)"),
                QStringLiteral("BYTES"));
const QCommandLineOption
    kIdleTimeout(QStringLiteral("idle-timeout"),
                 QStringLiteral("encerra a conexão sem pedidos por este tempo (padrão 600)"),
                 QStringLiteral("SEGUNDOS"));
const QCommandLineOption
    kLineTimeout(QStringLiteral("line-timeout"),
                 QStringLiteral("prazo para uma mensagem começada chegar inteira (padrão 60)"),
                 QStringLiteral("SEGUNDOS"));
const QCommandLineOption
    kShutdownGrace(QStringLiteral("shutdown-grace"),
                   QStringLiteral("ao receber SIGINT/SIGTERM, prazo para as chamadas em andamento "
                                  "terminarem (padrão 10)"),
                   QStringLiteral("SEGUNDOS"));
const QCommandLineOption
    kTokenFile(QStringLiteral("token-file"),
               QStringLiteral("arquivo cuja primeira linha é o token de acesso; cada conexão "
                              "começa por kvr.auth com ele"),
               QStringLiteral("ARQUIVO"));
const QCommandLineOption kTlsCert(QStringLiteral("tls-cert"),
                                  QStringLiteral("certificado do servidor (PEM); atende com TLS"),
                                  QStringLiteral("ARQUIVO"));
const QCommandLineOption kTlsKey(QStringLiteral("tls-key"),
                                 QStringLiteral("chave privada do certificado (PEM)"),
                                 QStringLiteral("ARQUIVO"));

// Accounts, login and the history of changes.
const QCommandLineOption kLogin(QStringLiteral("login"),
                                QStringLiteral("cada conexão começa por kvr.login com usuário e "
                                               "senha (ou kvr.auth com o token, se houver)"));
const QCommandLineOption
    kAuthTimeout(QStringLiteral("auth-timeout"),
                 QStringLiteral("encerra a conexão que não se autenticou neste prazo (padrão 10)"),
                 QStringLiteral("SEGUNDOS"));
const QCommandLineOption
    kNoHistory(QStringLiteral("no-history"),
               QStringLiteral("não grava o histórico de alterações (só para medir o seu custo; "
                              "não combina com --login)"));
const QCommandLineOption
    kAddUser(QStringLiteral("add-user"),
             QStringLiteral("cria o usuário no banco (senha lida do terminal ou da entrada "
                            "padrão) e termina"),
             QStringLiteral("NOME"));
const QCommandLineOption kRemoveUser(QStringLiteral("remove-user"),
                                     QStringLiteral("remove o usuário do banco e termina"),
                                     QStringLiteral("NOME"));
const QCommandLineOption kListUsers(QStringLiteral("list-users"),
                                    QStringLiteral("lista os usuários do banco e termina"));

const QCommandLineOption
    kConfig(QStringLiteral("config"),
            QStringLiteral("lê as opções do arquivo, uma por linha (OPÇÃO = VALOR, com o nome "
                           "longo da opção); a linha de comando prevalece"),
            QStringLiteral("ARQUIVO"));
const QCommandLineOption
    kBackup(QStringLiteral("backup"),
            QStringLiteral("copia o banco SQLite de --db para o arquivo, mesmo com servidores "
                           "atendendo, e termina"),
            QStringLiteral("ARQUIVO"));
const QCommandLineOption
    kRestore(QStringLiteral("restore"),
             QStringLiteral("repõe no banco SQLite de --db a cópia do arquivo, com os servidores "
                            "parados, e termina"),
             QStringLiteral("ARQUIVO"));

QList<QCommandLineOption> allOptions()
{
    return {kListen,         kDb,         kSeed,        kCfopTable,   kMaxMessage,    kDbPool,
            kMaxConnections, kMaxPending, kIdleTimeout, kLineTimeout, kShutdownGrace, kTokenFile,
            kTlsCert,        kTlsKey,     kConfig,      kBackup,      kRestore,       kLogin,
            kAuthTimeout,    kNoHistory,  kAddUser,     kRemoveUser,  kListUsers};
}

// Options that do a job and end the program: they belong on a command line,
// never in the configuration a service starts with.
bool isCommand(const QString &name)
{
    for (const QCommandLineOption &command : {kBackup, kRestore, kAddUser, kRemoveUser, kListUsers})
        if (command.names().constFirst() == name)
            return true;
    return false;
}

CommandLine commandLine()
{
    return CommandLine(allOptions());
}

// The arguments a configuration file stands for: each "name = value" line
// becomes --name value (a flag takes true/false), so every option of the
// command line can be set there without code of its own. They go before the
// command line's own arguments, whose values therefore win.
bool configArguments(const QString &path, QStringList &arguments, QString &problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        problem = QStringLiteral("Não foi possível ler o arquivo de configuração %1: %2.")
                      .arg(path, file.errorString());
        return false;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QList<QCommandLineOption> options = allOptions();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto refuse = [&](const QString &why) {
            problem = QStringLiteral("Arquivo de configuração %1, linha %2: %3")
                          .arg(path)
                          .arg(i + 1)
                          .arg(why);
            return false;
        };
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString name = line.left(equals).trimmed();
        QString value = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        const auto option =
            std::find_if(options.cbegin(), options.cend(), [&](const QCommandLineOption &o) {
                return o.names().constFirst() == name;
            });
        if (option == options.cend() || name == kConfig.names().constFirst())
            return refuse(QStringLiteral("opção desconhecida \"%1\".").arg(name));
        if (isCommand(name))
            return refuse(QStringLiteral("%1 é um comando, não uma configuração; use-o na linha "
                                         "de comando.")
                              .arg(name));
        if (option->valueName().isEmpty()) {
            if (value.isEmpty() || value == QLatin1String("true") || value == QLatin1String("sim"))
                arguments.append(QStringLiteral("--") + name);
            else if (value != QLatin1String("false") && value != QLatin1String("não"))
                return refuse(
                    QStringLiteral("%1 aceita true ou false, não \"%2\".").arg(name, value));
            continue;
        }
        if (equals < 0 || value.isEmpty())
            return refuse(QStringLiteral("falta o valor de %1 (escreva %1 = VALOR).").arg(name));
        arguments.append(QStringLiteral("--") + name + QLatin1Char('=') + value);
    }
    return true;
}

// A whole number in [minimum, maximum] for `option`, or a message naming it.
bool parseNumber(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 minimum,
                 qint64 maximum, qint64 &value, QString &problem)
{
    if (!parser.isSet(option))
        return true;
    const QString text = parser.value(option);
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number < minimum || number > maximum) {
        const QString range = maximum == std::numeric_limits<qint64>::max()
                                  ? QStringLiteral("de pelo menos %1").arg(minimum)
                                  : QStringLiteral("de %1 a %2").arg(minimum).arg(maximum);
        problem = QStringLiteral("Valor inválido para --%1: %2 (use um número inteiro %3).")
                      .arg(option.names().constFirst(), text, range);
        return false;
    }
    value = number;
    return true;
}

template <typename T>
bool parseInto(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 minimum,
               qint64 maximum, T &target, QString &problem)
{
    qint64 value = target;
    if (!parseNumber(parser, option, minimum, maximum, value, problem))
        return false;
    target = static_cast<T>(value);
    return true;
}

bool parseAccounts(const QCommandLineParser &parser, ServerOptions &options, QString &problem)
{
    options.login = parser.isSet(kLogin);
    options.history = !parser.isSet(kNoHistory);
    options.addUser = parser.value(kAddUser);
    options.removeUser = parser.value(kRemoveUser);
    options.listUsers = parser.isSet(kListUsers);
    if (!parseInto(parser, kAuthTimeout, 1, 3600, options.authTimeoutS, problem))
        return false;
    if (options.login && !options.history) {
        problem = QStringLiteral("--login e --no-history não combinam: com login, toda alteração "
                                 "fica no histórico.");
        return false;
    }
    const int commands =
        int(parser.isSet(kAddUser)) + int(parser.isSet(kRemoveUser)) + int(options.listUsers);
    if (commands > 1) {
        problem = QStringLiteral("Use só uma de --add-user, --remove-user e --list-users por vez.");
        return false;
    }
    return true;
}

bool parseListen(const QString &text, ServerOptions &options, QString &problem)
{
    const auto address = platform::ParseHostPort(text, 0);
    QHostAddress host;
    if (address) {
        if (address->host == QLatin1String("localhost"))
            host = QHostAddress::LocalHost;
        else
            host.setAddress(address->host);
    }
    if (host.isNull()) {
        problem = QStringLiteral("Endereço de escuta inválido \"%1\"; use HOST:PORTA, "
                                 "por exemplo 127.0.0.1:2140.")
                      .arg(text);
        return false;
    }
    options.host = host;
    options.port = address->port;
    return true;
}

} // namespace

QString ServerOptions::usage()
{
    return commandLine().HelpText(QStringLiteral(
        "uso: kvr-appserver [--listen HOST:PORTA] [--db URL] [--seed [--cfop-table ARQUIVO]] "
        "[--max-message BYTES] [--db-pool N] [--max-connections N] "
        "[--max-pending BYTES] [--idle-timeout SEGUNDOS] [--line-timeout SEGUNDOS] "
        "[--shutdown-grace SEGUNDOS] [--token-file ARQUIVO] "
        "[--tls-cert ARQUIVO --tls-key ARQUIVO] [--login] [--auth-timeout SEGUNDOS] "
        "[--no-history] [--config ARQUIVO] [--backup ARQUIVO | --restore ARQUIVO] "
        "[--add-user NOME | --remove-user NOME | --list-users]"));
}

bool ServerOptions::parse(const QStringList &arguments, ServerOptions &options, QString &problem)
{
    QStringList effective = arguments;
    {
        CommandLine first = commandLine();
        if (first.Parse(arguments) == CommandLine::Fault::None && first.Parser().isSet(kConfig) &&
            !first.HelpRequested()) {
            effective = arguments.mid(0, 1);
            if (!configArguments(first.Parser().value(kConfig), effective, problem))
                return false;
            effective += arguments.mid(1);
        }
    }
    CommandLine line = commandLine();
    const CommandLine::Fault fault = line.Parse(effective);
    options.help = line.HelpRequested();
    switch (fault) {
    case CommandLine::Fault::None:
        break;
    case CommandLine::Fault::UnknownOption:
        problem = QStringLiteral("Opção desconhecida: %1.").arg(line.FaultArgument());
        return false;
    case CommandLine::Fault::MissingValue:
        problem = QStringLiteral("Falta o valor de %1.").arg(line.FaultArgument());
        return false;
    }
    const QCommandLineParser &parser = line.Parser();
    options.seed = parser.isSet(kSeed);
    options.cfopTable = parser.value(kCfopTable);
    if (parser.isSet(kListen) && !parseListen(parser.value(kListen), options, problem))
        return false;
    if (parser.isSet(kDb)) {
        if (!DatabaseUrl::parse(parser.value(kDb), options.database, problem))
            return false;
    } else {
        options.database = DatabaseUrl::defaultSqlite();
    }
    if (parser.isSet(kMaxMessage)) {
        const QString text = parser.value(kMaxMessage);
        bool ok = false;
        options.maxMessage = text.toLongLong(&ok);
        if (!ok || options.maxMessage < 1) {
            problem = QStringLiteral("Tamanho máximo de mensagem inválido: %1.").arg(text);
            return false;
        }
    }
    constexpr qint64 Day = 24 * 60 * 60;
    if (!parseInto(parser, kDbPool, 1, 1000, options.dbPool, problem) ||
        !parseInto(parser, kMaxConnections, 1, 1000000, options.maxConnections, problem) ||
        !parseInto(parser, kMaxPending, 64 * 1024, std::numeric_limits<qint64>::max(),
                   options.maxPending, problem) ||
        !parseInto(parser, kIdleTimeout, 1, Day, options.idleTimeoutS, problem) ||
        !parseInto(parser, kLineTimeout, 1, Day, options.lineTimeoutS, problem) ||
        !parseInto(parser, kShutdownGrace, 0, Day, options.shutdownGraceS, problem))
        return false;
    options.backupFile = parser.value(kBackup);
    options.restoreFile = parser.value(kRestore);
    if (!options.backupFile.isEmpty() && !options.restoreFile.isEmpty()) {
        problem = QStringLiteral("Informe --backup ou --restore, não os dois.");
        return false;
    }
    if (!parseAccounts(parser, options, problem))
        return false;
    options.tokenFile = parser.value(kTokenFile);
    options.tlsCert = parser.value(kTlsCert);
    options.tlsKey = parser.value(kTlsKey);
    if (options.tlsCert.isEmpty() != options.tlsKey.isEmpty()) {
        problem = QStringLiteral("Informe --tls-cert e --tls-key juntos: o certificado e a sua "
                                 "chave privada.");
        return false;
    }
    return true;
}

int ServerOptions::defaultDbPool()
{
    return std::max(2, 2 * QThread::idealThreadCount());
}

} // namespace kvr::server
