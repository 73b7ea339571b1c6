#include "server/ServerOptions.h"
#include "server/auth/AccountCommands.h"
#include "server/common/AppError.h"
#include "server/common/ServerLog.h"
#include "server/net/AppServer.h"
#include "server/net/TlsCiphers.h"
#include "server/operate/DatabaseInUse.h"
#include "server/operate/SqliteBackup.h"
#include "server/seed/Seeder.h"
#include "server/storage/Migrations.h"
#include "server/storage/Storage.h"

#include "platform/QuitOnSignal.h"
#include "platform/TokenFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace kvr::server;

namespace {

void say(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Brings the schema up to date and seeds on request, before any client comes.
bool prepareDatabase(const ServerOptions &options)
{
    try {
        std::unique_ptr<Storage> storage = Storage::open(options.database);
        Migrations::apply(*storage);
        if (options.seed) {
            if (Seeder::seed(*storage, options.cfopTable) == Seeder::Outcome::AlreadyHasData)
                say(stderr, QStringLiteral("O banco de dados já contém dados; a carga inicial "
                                           "(--seed) não foi feita."));
            else
                say(stderr, QStringLiteral("Dados de referência carregados."));
        }
        return true;
    } catch (const AppError &error) {
        say(stderr, error.detail());
        return false;
    }
}

bool loadToken(const QString &path, QByteArray &token, QString &problem)
{
    QString text, why;
    const kvr::platform::TokenFileStatus status = kvr::platform::readTokenFile(path, text, &why);
    token = text.toUtf8();
    if (status == kvr::platform::TokenFileStatus::Unreadable) {
        problem = QStringLiteral("Não foi possível ler o arquivo do token de acesso %1: %2.")
                      .arg(path, why);
        return false;
    }
    if (status == kvr::platform::TokenFileStatus::Empty) {
        problem = QStringLiteral("O arquivo do token de acesso %1 está vazio; escreva o token na "
                                 "primeira linha.")
                      .arg(path);
        return false;
    }
    return true;
}

// The server's certificate chain and key, both PEM.
bool loadTls(const ServerOptions &options, QSslConfiguration &tls, QString &problem)
{
    if (!QSslSocket::supportsSsl()) {
        problem = QStringLiteral("TLS indisponível: o Qt não encontrou o seu suporte a TLS "
                                 "(OpenSSL).");
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(
        options.tlsCert, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (chain.isEmpty() || chain.constFirst().isNull()) {
        problem = QStringLiteral("O arquivo %1 não contém um certificado PEM legível.")
                      .arg(options.tlsCert);
        return false;
    }
    QFile keyFile(options.tlsKey);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("Não foi possível ler a chave privada %1: %2.")
                      .arg(options.tlsKey, keyFile.errorString());
        return false;
    }
    const QByteArray pem = keyFile.readAll();
    QSslKey key(pem, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec, QSsl::Pem);
    if (key.isNull()) {
        problem = QStringLiteral("O arquivo %1 não contém uma chave privada PEM legível (RSA ou "
                                 "EC, sem senha).")
                      .arg(options.tlsKey);
        return false;
    }
    tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    offerModernTlsOnly(tls);
    return true;
}

// What main hands the server: the options, with the token and TLS files read.
bool serveSettings(const ServerOptions &options, ServeSettings &settings, QString &problem)
{
    settings.database = options.database;
    settings.maxMessage = options.maxMessage;
    settings.dbPool = options.dbPool;
    settings.maxConnections = options.maxConnections;
    settings.maxPending = options.maxPending;
    settings.idleTimeoutMs = options.idleTimeoutS * 1000;
    settings.lineTimeoutMs = options.lineTimeoutS * 1000;
    settings.login = options.login;
    settings.history = options.history;
    settings.authTimeoutMs = options.authTimeoutS * 1000;
    if (!options.tokenFile.isEmpty() && !loadToken(options.tokenFile, settings.token, problem))
        return false;
    if (!options.tlsCert.isEmpty()) {
        QSslConfiguration tls;
        if (!loadTls(options, tls, problem))
            return false;
        settings.tls = tls;
    }
    return true;
}

// --backup and --restore: one job on the SQLite database, then exit.
int copyDatabase(const ServerOptions &options)
{
    const bool backup = !options.backupFile.isEmpty();
    if (options.database.kind != DatabaseUrl::Kind::Sqlite) {
        say(stderr, QStringLiteral("--backup e --restore valem para o banco SQLite; para o "
                                   "PostgreSQL use pg_dump e pg_restore (veja o README)."));
        return 2;
    }
    QString problem;
    const bool done =
        backup ? SqliteBackup::backup(options.database.path, options.backupFile, problem)
               : SqliteBackup::restore(options.database.path, options.restoreFile, problem);
    if (!done) {
        say(stderr, problem);
        return 1;
    }
    say(stdout, backup ? QStringLiteral("Cópia gravada em %1.").arg(options.backupFile)
                       : QStringLiteral("Banco %1 restaurado de %2.")
                             .arg(options.database.path, options.restoreFile));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("kvr"));
    QCoreApplication::setApplicationName(QStringLiteral("kvr-appserver"));

    ServerOptions options;
    QString problem;
    const bool parsed = ServerOptions::parse(QCoreApplication::arguments(), options, problem);
    if (options.help) {
        std::fputs(ServerOptions::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!parsed) {
        say(stderr, problem);
        say(stderr, ServerOptions::usage());
        return 2;
    }
    if (!options.backupFile.isEmpty() || !options.restoreFile.isEmpty())
        return copyDatabase(options);
    if (!options.addUser.isEmpty())
        return AccountCommands::addUser(options.database, options.addUser);
    if (!options.removeUser.isEmpty())
        return AccountCommands::removeUser(options.database, options.removeUser);
    if (options.listUsers)
        return AccountCommands::listUsers(options.database);
    DatabaseInUse inUse;
    if (options.database.kind == DatabaseUrl::Kind::Sqlite &&
        !inUse.take(options.database.path, DatabaseInUse::Mode::Serving, problem)) {
        say(stderr, problem);
        return 1;
    }
    ServeSettings settings;
    if (!serveSettings(options, settings, problem)) {
        say(stderr, problem);
        return 1;
    }
    if (!prepareDatabase(options))
        return 1;

    AppServer server(settings);
    kvr::platform::QuitOnSignal quitOnSignal;
    // Stop accepting at once; the rest of the shutdown follows the event loop.
    QObject::connect(&quitOnSignal, &kvr::platform::QuitOnSignal::received, &server,
                     &AppServer::close);
    if (!server.listen(options.host, options.port)) {
        say(stderr, QStringLiteral("Não foi possível escutar em %1:%2: %3")
                        .arg(options.host.toString())
                        .arg(options.port)
                        .arg(server.errorString()));
        return 1;
    }
    say(stdout, QStringLiteral("listening on %1:%2")
                    .arg(server.serverAddress().toString())
                    .arg(server.serverPort()));
    const int code = QCoreApplication::exec();
    if (!server.shutdown(std::chrono::seconds(options.shutdownGraceS))) {
        // A call still runs on its own thread; ending the process drops its
        // database connection, which rolls its transaction back.
        qCWarning(lcServer) << "calls still running after the grace time of"
                            << options.shutdownGraceS << "s; ending without them, so their "
                            << "transactions roll back";
        std::fflush(nullptr);
        std::_Exit(3);
    }
    return code;
}
