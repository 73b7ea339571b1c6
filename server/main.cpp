#include "server/ServerOptions.h"
#include "server/common/AppError.h"
#include "server/net/AppServer.h"
#include "server/seed/Seeder.h"
#include "server/storage/Migrations.h"
#include "server/storage/Storage.h"

#include "platform/QuitOnSignal.h"

#include <QCoreApplication>

#include <cstdio>

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
            if (Seeder::seed(*storage) == Seeder::Outcome::AlreadyHasData)
                say(stderr, QStringLiteral("O banco de dados já contém dados; a carga inicial "
                                           "(--seed) não foi feita."));
            else
                say(stderr, QStringLiteral("Dados de referência carregados."));
        }
        return true;
    } catch (const AppError &error) {
        say(stderr, error.message());
        return false;
    }
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
    if (!prepareDatabase(options))
        return 1;

    AppServer server(options.database, options.maxMessage);
    kvr::platform::QuitOnSignal quitOnSignal;
    QObject::connect(&quitOnSignal, &kvr::platform::QuitOnSignal::received, &app,
                     [&server] { server.shutdown(); });
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
    server.shutdown();
    return code;
}
