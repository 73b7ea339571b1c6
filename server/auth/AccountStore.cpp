#include "server/auth/AccountStore.h"

#include "server/auth/PasswordHash.h"
#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"

#include <QDateTime>
#include <QRegularExpression>

namespace kvr::server {

QString AccountStore::nameProblem(const QString &name)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9._@-]{1,64}$"));
    if (valid.match(name).hasMatch())
        return {};
    return QStringLiteral("Nome de usuário inválido \"%1\": use de 1 a 64 letras sem acento, "
                          "algarismos, ponto, hífen, sublinhado ou arroba.")
        .arg(name.left(64));
}

bool AccountStore::add(const QString &name, const QString &password)
{
    const QByteArray hash = PasswordHash::make(password);
    WriteTransaction transaction(m_storage);
    QSqlQuery &exists =
        m_storage.prepared(QStringLiteral("SELECT 1 FROM usuario WHERE nmusuario = ?"));
    exists.addBindValue(name);
    m_storage.run(exists);
    const bool found = exists.next();
    exists.finish();
    if (found)
        return false;
    QSqlQuery &insert = m_storage.prepared(
        QStringLiteral("INSERT INTO usuario (nmusuario, dshash, dtcriacao) VALUES (?, ?, ?)"));
    insert.addBindValue(name);
    insert.addBindValue(QString::fromLatin1(hash));
    insert.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    m_storage.run(insert);
    transaction.commit();
    return true;
}

bool AccountStore::remove(const QString &name)
{
    WriteTransaction transaction(m_storage);
    QSqlQuery &query =
        m_storage.prepared(QStringLiteral("DELETE FROM usuario WHERE nmusuario = ?"));
    query.addBindValue(name);
    m_storage.run(query);
    const bool removed = query.numRowsAffected() > 0;
    transaction.commit();
    return removed;
}

QStringList AccountStore::names()
{
    QSqlQuery &query =
        m_storage.prepared(QStringLiteral("SELECT nmusuario FROM usuario ORDER BY nmusuario"));
    m_storage.run(query);
    QStringList names;
    while (query.next())
        names.append(query.value(0).toString());
    query.finish();
    return names;
}

bool AccountStore::verify(const QString &name, const QString &password)
{
    QByteArray hash;
    if (nameProblem(name).isEmpty()) {
        QSqlQuery &query =
            m_storage.prepared(QStringLiteral("SELECT dshash FROM usuario WHERE nmusuario = ?"));
        query.addBindValue(name);
        m_storage.run(query);
        if (query.next())
            hash = query.value(0).toString().toLatin1();
        query.finish();
    }
    return PasswordHash::matches(hash, password);
}

} // namespace kvr::server
