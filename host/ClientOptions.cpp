#include "host/ClientOptions.h"

#include "platform/CommandLine.h"
#include "platform/HostPort.h"
#include "platform/TokenFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

using kvr::platform::CommandLine;
using kvr::platform::ParseHostPort;

namespace {

const QString kServerKey = QStringLiteral("server/address");
const QString kTokenFileKey = QStringLiteral("connection/tokenFile");
const QString kTokenKey = QStringLiteral("connection/token");
const QString kTlsCaFileKey = QStringLiteral("connection/tlsCaFile");
const QString kTlsKey = QStringLiteral("connection/tls");

const QCommandLineOption kServer(QStringLiteral("server"),
                                 QStringLiteral("servidor de aplicação (padrão: o último usado)"),
                                 QStringLiteral("HOST:PORTA"));
const QCommandLineOption
    kModules(QStringLiteral("modules"),
             QStringLiteral("pasta dos módulos (padrão: ../lib/kvr/modules junto ao programa "
                            "instalado, senão ../modules)"),
             QStringLiteral("PASTA"));
const QCommandLineOption kOpen(QStringLiteral("open"),
                               QStringLiteral("abre o módulo ao iniciar (pode repetir)"),
                               QStringLiteral("CODIGO"));

const QCommandLineOption kTokenFile(
    QStringLiteral("token-file"),
    QStringLiteral("arquivo com o token de acesso ao servidor de aplicação (a primeira linha)"),
    QStringLiteral("ARQUIVO"));
const QCommandLineOption
    kTls(QStringLiteral("tls"),
         QStringLiteral("conecta com TLS, confiando nas autoridades certificadoras do sistema"));
const QCommandLineOption kTlsCa(
    QStringLiteral("tls-ca"),
    QStringLiteral("conecta com TLS, confiando na autoridade certificadora deste arquivo PEM"),
    QStringLiteral("ARQUIVO"));

CommandLine commandLine()
{
    return CommandLine({kServer, kModules, kOpen, kTokenFile, kTls, kTlsCa});
}

QString readToken(const QString &path, QString *error)
{
    QString token;
    switch (kvr::platform::readTokenFile(path, token)) {
    case kvr::platform::TokenFileStatus::Unreadable:
        *error = QStringLiteral("Não foi possível ler o arquivo de token \"%1\".").arg(path);
        return {};
    case kvr::platform::TokenFileStatus::Empty:
        *error = QStringLiteral("O arquivo de token \"%1\" está vazio.").arg(path);
        break;
    case kvr::platform::TokenFileStatus::Read:
        break;
    }
    return token;
}

QList<QSslCertificate> readCas(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Não foi possível ler o arquivo de autoridade certificadora "
                                "\"%1\".")
                     .arg(path);
        return {};
    }
    const QList<QSslCertificate> cas = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (cas.isEmpty())
        *error = QStringLiteral("O arquivo de autoridade certificadora \"%1\" não contém um "
                                "certificado PEM válido.")
                     .arg(path);
    return cas;
}

// A file named by the settings is reported with the setting that named it.
QString fromSetting(const QString &error, const QString &key)
{
    if (error.isEmpty())
        return error;
    return error.chopped(1) + QStringLiteral(" (configuração %1).").arg(key);
}

} // namespace

QString ClientOptions::Usage()
{
    return commandLine().HelpText(
        QStringLiteral("Uso: kvr-client [--server HOST:PORTA] [--modules PASTA] [--open CODIGO]... "
                       "[--token-file ARQUIVO] [--tls] [--tls-ca ARQUIVO]"));
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
    options.m_tokenFile = parser.value(kTokenFile);
    options.m_tls = parser.isSet(kTls);
    options.m_tlsCaFile = parser.value(kTlsCa);
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

bool ClientOptions::ChooseSecurity(const QSettings &settings, TConnectionSecurity *security,
                                   QString *error) const
{
    *security = TConnectionSecurity();
    error->clear();
    if (!m_tokenFile.isEmpty()) {
        security->token = readToken(m_tokenFile, error);
    } else if (const QString file = settings.value(kTokenFileKey).toString(); !file.isEmpty()) {
        security->token = readToken(file, error);
        *error = fromSetting(*error, kTokenFileKey);
    } else {
        security->token = settings.value(kTokenKey).toString().trimmed();
    }
    if (!error->isEmpty())
        return false;

    const bool fromCommandLine = m_tls || !m_tlsCaFile.isEmpty();
    const QString caFile = fromCommandLine ? m_tlsCaFile : settings.value(kTlsCaFileKey).toString();
    security->trustSystemCas = fromCommandLine ? m_tls : settings.value(kTlsKey).toBool();
    security->tls = security->trustSystemCas || !caFile.isEmpty();
    if (!caFile.isEmpty()) {
        security->trustedCas = readCas(caFile, error);
        if (!fromCommandLine)
            *error = fromSetting(*error, kTlsCaFileKey);
    }
    return error->isEmpty();
}

QString ClientOptions::DefaultModulesDir(const QString &programDir)
{
    const QString installed = QDir::cleanPath(programDir + QStringLiteral("/../lib/kvr/modules"));
    if (QFileInfo(installed).isDir())
        return installed;
    return QDir::cleanPath(programDir + QStringLiteral("/../modules"));
}
