#include "host/ClientOptions.h"

#include <QSettings>

namespace {
const QString kServerKey = QStringLiteral("server/address");
}

bool ClientOptions::SplitAddress(const QString &address, QString *host, int *port)
{
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const int number = address.mid(colon + 1).toInt(&ok);
    if (!ok || number <= 0 || number > 65535)
        return false;
    QString name = address.left(colon);
    // "[::1]:2140" names an IPv6 host.
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.trimmed().isEmpty())
        return false;
    *host = name;
    *port = number;
    return true;
}

QString ClientOptions::Usage()
{
    return QStringLiteral(
        "Uso: kvr-client [--server HOST:PORTA] [--modules PASTA] [--open CODIGO]...\n"
        "  --server HOST:PORTA  servidor de aplicação (padrão: o último usado)\n"
        "  --modules PASTA      pasta dos módulos (padrão: ../modules junto ao programa)\n"
        "  --open CODIGO        abre o módulo ao iniciar (pode repetir)\n");
}

ClientOptions ClientOptions::Parse(const QStringList &arguments)
{
    ClientOptions options;
    auto fail = [&options](const QString &text) {
        options.m_error = text;
        return options;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        QString value;
        bool inlineValue = false;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            inlineValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.m_help = true;
            continue;
        }
        if (name != QLatin1String("--server") && name != QLatin1String("--modules") &&
            name != QLatin1String("--open"))
            return fail(QStringLiteral("Opção desconhecida: %1").arg(arguments.at(i)));
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("A opção %1 precisa de um valor.").arg(name));
            value = arguments.at(++i);
        }
        if (name == QLatin1String("--server")) {
            if (!SplitAddress(value, &options.m_serverHost, &options.m_serverPort))
                return fail(QStringLiteral("Endereço de servidor inválido: \"%1\" "
                                           "(use HOST:PORTA).")
                                .arg(value));
        } else if (name == QLatin1String("--modules")) {
            options.m_modulesDir = value;
        } else {
            if (value.trimmed().isEmpty())
                return fail(QStringLiteral("Código de módulo vazio em --open."));
            options.m_opens.append(value.trimmed().toUpper());
        }
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
    SplitAddress(settings.value(kServerKey).toString(), host, port);
}
