#include "host/ClientOptions.h"

#include "platform/CommandLine.h"
#include "platform/HostPort.h"

#include <QSettings>

using kvr::platform::CommandLine;
using kvr::platform::ParseHostPort;

namespace {

const QString kServerKey = QStringLiteral("server/address");

const QCommandLineOption kServer(QStringLiteral("server"),
                                 QStringLiteral("servidor de aplicação (padrão: o último usado)"),
                                 QStringLiteral("HOST:PORTA"));
const QCommandLineOption
    kModules(QStringLiteral("modules"),
             QStringLiteral("pasta dos módulos (padrão: ../modules junto ao programa)"),
             QStringLiteral("PASTA"));
const QCommandLineOption kOpen(QStringLiteral("open"),
                               QStringLiteral("abre o módulo ao iniciar (pode repetir)"),
                               QStringLiteral("CODIGO"));

CommandLine commandLine()
{
    return CommandLine({kServer, kModules, kOpen});
}

} // namespace

QString ClientOptions::Usage()
{
    return commandLine().HelpText(QStringLiteral(
        "Uso: kvr-client [--server HOST:PORTA] [--modules PASTA] [--open CODIGO]..."));
}

ClientOptions ClientOptions::Parse(const QStringList &arguments)
{
    ClientOptions options;
    CommandLine line = commandLine();
    const CommandLine::Fault fault = line.Parse(arguments);
    options.m_help = line.HelpRequested();
    switch (fault) {
    case CommandLine::Fault::None:
        break;
    case CommandLine::Fault::UnknownOption:
        options.m_error = QStringLiteral("Opção desconhecida: %1").arg(line.FaultArgument());
        return options;
    case CommandLine::Fault::MissingValue:
        options.m_error =
            QStringLiteral("A opção %1 precisa de um valor.").arg(line.FaultArgument());
        return options;
    }
    const QCommandLineParser &parser = line.Parser();
    if (parser.isSet(kServer)) {
        const QString value = parser.value(kServer);
        const auto address = ParseHostPort(value);
        if (!address) {
            options.m_error =
                QStringLiteral("Endereço de servidor inválido: \"%1\" (use HOST:PORTA).")
                    .arg(value);
            return options;
        }
        options.m_serverHost = address->host;
        options.m_serverPort = address->port;
    }
    options.m_modulesDir = parser.value(kModules);
    for (const QString &code : parser.values(kOpen)) {
        if (code.trimmed().isEmpty()) {
            options.m_error = QStringLiteral("Código de módulo vazio em --open.");
            return options;
        }
        options.m_opens.append(code.trimmed().toUpper());
    }
    return options;
}

void ClientOptions::ChooseServer(QSettings &settings, QString *host, int *port) const
{
    *host = QStringLiteral("127.0.0.1");
    *port = 2140;
    if (HasServer()) {
        *host = m_serverHost;
        *port = m_serverPort;
        settings.setValue(kServerKey, QStringLiteral("%1:%2").arg(*host).arg(*port));
        settings.sync();
        return;
    }
    if (const auto remembered = ParseHostPort(settings.value(kServerKey).toString())) {
        *host = remembered->host;
        *port = remembered->port;
    }
}
