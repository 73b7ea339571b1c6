#include "server/storage/Storage.h"

#include "server/common/AppError.h"
#include "server/common/ServerLog.h"
#include "server/storage/PostgresStorage.h"
#include "server/storage/SqliteStorage.h"

#include <QSqlDriver>
#include <QSqlError>

#include <atomic>

namespace kvr::server {

namespace {
std::atomic<int> g_connectionCounter{0};
} // namespace

const QString Storage::Failed =
    QStringLiteral("Falha no banco de dados; a operação não foi concluída. Tente novamente; se o "
                   "erro persistir, avise o administrador do sistema.");
const QString Storage::Unavailable =
    QStringLiteral("Banco de dados indisponível no momento; tente novamente em instantes. Se o "
                   "erro persistir, avise o administrador do sistema.");

Storage::Storage(const DatabaseUrl &url)
    : m_url(url), m_connectionName(QStringLiteral("kvr-%1").arg(++g_connectionCounter))
{
}

Storage::~Storage()
{
    m_statements.clear();
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<Storage> Storage::open(const DatabaseUrl &url)
{
    std::unique_ptr<Storage> storage;
    if (url.kind == DatabaseUrl::Kind::Sqlite)
        storage = std::make_unique<SqliteStorage>(url);
    else
        storage = std::make_unique<PostgresStorage>(url);
    storage->openConnection();
    return storage;
}

void Storage::openConnection()
{
    const QString driver = m_url.kind == DatabaseUrl::Kind::Sqlite ? QStringLiteral("QSQLITE")
                                                                   : QStringLiteral("QPSQL");
    m_db = QSqlDatabase::addDatabase(driver, m_connectionName);
    if (!m_db.isValid())
        throw AppError(protocol::RpcError::Database,
                       QStringLiteral("Driver de banco de dados %1 não disponível.").arg(driver));
    configure(m_db, m_url);
    if (!m_db.open())
        fail(QStringLiteral("Não foi possível abrir o banco de dados %1").arg(m_url.display()),
             m_db.lastError(), Unavailable);
    afterOpen();
}

QVariant Storage::nativeHandle() const
{
    return m_db.driver() ? m_db.driver()->handle() : QVariant();
}

sqlite3 *Storage::sqliteHandle() const
{
    const QVariant handle = nativeHandle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QSqlQuery &Storage::prepared(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        auto query = std::make_unique<QSqlQuery>(m_db);
        query->setForwardOnly(true);
        if (!query->prepare(sql))
            fail(QStringLiteral("Falha ao preparar comando no banco de dados"), query->lastError());
        it = m_statements.emplace(sql, std::move(query)).first;
    }
    it->second->finish();
    return *it->second;
}

void Storage::run(QSqlQuery &query)
{
    if (!query.exec())
        fail(QStringLiteral("Falha no banco de dados"), query.lastError());
}

void Storage::execute(const QString &sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        fail(QStringLiteral("Falha no banco de dados"), query.lastError());
}

void Storage::commit()
{
    for (auto &statement : m_statements)
        statement.second->finish();
    execute(QStringLiteral("COMMIT"));
}

void Storage::rollback()
{
    for (auto &statement : m_statements)
        statement.second->finish();
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("ROLLBACK"));
}

bool Storage::stillConnected()
{
    m_failed = false;
    QSqlQuery query(m_db);
    return query.exec(QStringLiteral("SELECT 1")) && query.next();
}

void Storage::fail(const QString &what, const QSqlError &error, const QString &forClient) const
{
    m_failed = true;
    const QString detail = error.text().trimmed();
    const bool busy = detail.contains(QLatin1String("locked"), Qt::CaseInsensitive) ||
                      detail.contains(QLatin1String("busy"), Qt::CaseInsensitive);
    if (busy)
        throw AppError(protocol::RpcError::Database,
                       QStringLiteral("Banco de dados ocupado por outra operação; tente "
                                      "novamente em instantes."));
    // The URL and the driver's text would tell any client where the database
    // is and how it is built: they go to the log only.
    const QString full = detail.isEmpty() ? QString(what + QLatin1Char('.'))
                                          : QString(what + QStringLiteral(": ") + detail);
    qCWarning(lcServer).noquote() << "database" << m_url.display() << "failed:" << full;
    throw AppError::database(forClient, full);
}

} // namespace kvr::server
