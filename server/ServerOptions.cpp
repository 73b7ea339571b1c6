#include "server/ServerOptions.h"

#include "platform/CommandLine.h"
#include "platform/HostPort.h"

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

CommandLine commandLine()
{
    return CommandLine({kListen, kDb, kSeed, kMaxMessage, kDbPool, kMaxConnections, kMaxPending,
                        kIdleTimeout, kLineTimeout, kShutdownGrace, kTokenFile, kTlsCert, kTlsKey,
                        kLogin, kAuthTimeout, kNoHistory, kAddUser, kRemoveUser, kListUsers});
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
    return commandLine().HelpText(
        QStringLiteral("uso: kvr-appserver [--listen HOST:PORTA] [--db URL] [--seed] "
                       "[--max-message BYTES] [--db-pool N] [--max-connections N] "
                       "[--max-pending BYTES] [--idle-timeout SEGUNDOS] [--line-timeout SEGUNDOS] "
                       "[--shutdown-grace SEGUNDOS] [--token-file ARQUIVO] "
                       "[--tls-cert ARQUIVO --tls-key ARQUIVO] [--login] "
                       "[--auth-timeout SEGUNDOS] [--no-history] "
                       "[--add-user NOME | --remove-user NOME | --list-users]"));
}

bool ServerOptions::parse(const QStringList &arguments, ServerOptions &options, QString &problem)
{
    CommandLine line = commandLine();
    const CommandLine::Fault fault = line.Parse(arguments);
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
