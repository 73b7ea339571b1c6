#include "server/ServerOptions.h"

#include "platform/CommandLine.h"
#include "platform/HostPort.h"

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

CommandLine commandLine()
{
    return CommandLine({kListen, kDb, kSeed, kMaxMessage});
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
                       "[--max-message BYTES]"));
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
    return true;
}

} // namespace kvr::server
