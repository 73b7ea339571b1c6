#include "server/storage/DatabaseUrl.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

namespace kvr::server {

bool DatabaseUrl::parse(const QString &text, DatabaseUrl &url, QString &problem)
{
    if (text.startsWith(QLatin1String("sqlite:"))) {
        url = {};
        url.kind = Kind::Sqlite;
        url.path = text.mid(7);
        if (url.path.isEmpty()) {
            problem = QStringLiteral("Informe o arquivo do banco SQLite: sqlite:CAMINHO.");
            return false;
        }
        return true;
    }
    if (text.startsWith(QLatin1String("postgresql://")) ||
        text.startsWith(QLatin1String("postgres://"))) {
        const QUrl parsed(text, QUrl::StrictMode);
        const QString db = parsed.path().mid(1);
        if (!parsed.isValid() || parsed.host().isEmpty() || db.isEmpty() || db.contains('/')) {
            problem = QStringLiteral("URL PostgreSQL inválida; use "
                                     "postgresql://USUARIO@HOST:PORTA/BANCO.");
            return false;
        }
        url = {};
        url.kind = Kind::Postgres;
        url.host = parsed.host();
        url.port = parsed.port(5432);
        url.user = parsed.userName();
        url.password = parsed.password();
        url.database = db;
        return true;
    }
    problem = QStringLiteral("Banco de dados desconhecido \"%1\"; use sqlite:CAMINHO ou "
                             "postgresql://USUARIO@HOST:PORTA/BANCO.")
                  .arg(text);
    return false;
}

DatabaseUrl DatabaseUrl::defaultSqlite()
{
    DatabaseUrl url;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    url.path = QDir(dir).filePath(QStringLiteral("kvr51400.sqlite"));
    return url;
}

QString DatabaseUrl::display() const
{
    if (kind == Kind::Sqlite)
        return QStringLiteral("sqlite:") + path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

} // namespace kvr::server
