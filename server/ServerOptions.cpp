#include "server/ServerOptions.h"

namespace kvr::server {

QString ServerOptions::usage()
{
    return QStringLiteral(
        "uso: kvr-appserver [--listen HOST:PORTA] [--db URL] [--seed] "
        "[--max-message BYTES]\n"
        "  --listen       endereço de escuta (padrão 127.0.0.1:2140; porta 0 "
        "escolhe uma porta livre)\n"
        "  --db           sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO\n"
        "  --seed         carrega os dados de referência num banco vazio\n"
        "  --max-message  tamanho máximo de uma mensagem (padrão 64 MiB)\n");
}

bool ServerOptions::parse(const QStringList &arguments, ServerOptions &options, QString &problem)
{
    bool haveDb = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const auto value = [&](QString &out) {
            if (i + 1 >= arguments.size()) {
                problem = QStringLiteral("Falta o valor de %1.").arg(arg);
                return false;
            }
            out = arguments.at(++i);
            return true;
        };
        QString text;
        if (arg == QLatin1String("--seed")) {
            options.seed = true;
        } else if (arg == QLatin1String("--listen")) {
            if (!value(text))
                return false;
            const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
            bool ok = false;
            const uint port = colon > 0 ? text.mid(colon + 1).toUInt(&ok) : 0;
            QString host = colon > 0 ? text.left(colon) : QString();
            if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
                host = host.mid(1, host.size() - 2);
            QHostAddress address;
            if (host == QLatin1String("localhost"))
                address = QHostAddress::LocalHost;
            else
                address.setAddress(host);
            if (!ok || port > 65535 || address.isNull()) {
                problem = QStringLiteral("Endereço de escuta inválido \"%1\"; use HOST:PORTA, "
                                         "por exemplo 127.0.0.1:2140.")
                              .arg(text);
                return false;
            }
            options.host = address;
            options.port = static_cast<quint16>(port);
        } else if (arg == QLatin1String("--db")) {
            if (!value(text) || !DatabaseUrl::parse(text, options.database, problem))
                return false;
            haveDb = true;
        } else if (arg == QLatin1String("--max-message")) {
            if (!value(text))
                return false;
            bool ok = false;
            options.maxMessage = text.toLongLong(&ok);
            if (!ok || options.maxMessage < 1) {
                problem = QStringLiteral("Tamanho máximo de mensagem inválido: %1.").arg(text);
                return false;
            }
        } else {
            problem = QStringLiteral("Opção desconhecida: %1.").arg(arg);
            return false;
        }
    }
    if (!haveDb)
        options.database = DatabaseUrl::defaultSqlite();
    return true;
}

} // namespace kvr::server
