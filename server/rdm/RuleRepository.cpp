#include "server/rdm/RuleRepository.h"

#include "server/common/AppError.h"
#include "server/common/ServerLog.h"
#include "server/rdm/RuleRecord.h"
#include "server/storage/Storage.h"

#include <QScopeGuard>

#include <sqlite3.h>

namespace kvr::server {

using R = RuleRecord;

namespace {

// Reads the rows with SQLite's own calls: its UTF-8 goes into the packet as it
// is, with no QVariant or QString per value, which is most of the time of the
// largest reply.
void writeSqliteRows(sqlite3 *db, const QString &sql, const QString &tax,
                     protocol::PacketWriter &writer)
{
    const auto failed = [db](const char *step) {
        qCWarning(lcServer) << "reading rules failed at" << step << ":" << sqlite3_errmsg(db);
        return AppError(protocol::RpcError::Database,
                        QStringLiteral("Falha no banco de dados ao ler as consistências."));
    };
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) !=
        SQLITE_OK)
        throw failed("prepare");
    const auto finalize = qScopeGuard([statement] { sqlite3_finalize(statement); });
    const QByteArray code = tax.toUtf8();
    if (sqlite3_bind_text(statement, 1, code.constData(), int(code.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        throw failed("bind");
    constexpr int Stored = R::FieldCount - 1;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        writer.beginRow();
        writer.addUtf8("", 0); // IDMARCADO
        for (int i = 0; i < Stored; ++i) {
            const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            writer.addUtf8(value ? value : "", sqlite3_column_bytes(statement, i));
        }
        writer.endRow();
    }
    if (step != SQLITE_DONE)
        throw failed("step");
}

} // namespace

QString RuleRepository::formatNumber(qint64 number)
{
    return QStringLiteral("%1").arg(number, 10, 10, QLatin1Char('0'));
}

QStringList RuleRepository::readRow(QSqlQuery &query) const
{
    QStringList row;
    row.reserve(R::FieldCount);
    row.append(QString());
    for (int i = 0; i < R::FieldCount - 1; ++i)
        row.append(query.value(i).toString());
    return row;
}

void RuleRepository::writeOfTax(const QString &tax, protocol::PacketWriter &writer)
{
    static const QString sql =
        QStringLiteral("SELECT %1 FROM consistencia WHERE cdimposto = ? ORDER BY nrseqconsiste")
            .arg(R::storedColumns());
    if (sqlite3 *db = m_storage.sqliteHandle()) {
        writeSqliteRows(db, sql, tax, writer);
        return;
    }
    QSqlQuery &query = m_storage.prepared(sql);
    query.addBindValue(Storage::text(tax));
    m_storage.run(query);
    while (query.next()) {
        writer.beginRow();
        writer.addValue(QStringView()); // IDMARCADO
        for (int i = 0; i < R::FieldCount - 1; ++i)
            writer.addValue(query.value(i).toString());
        writer.endRow();
    }
    query.finish();
}

std::optional<QStringList> RuleRepository::find(const QString &number)
{
    QSqlQuery &query =
        m_storage.prepared(QStringLiteral("SELECT %1 FROM consistencia WHERE nrseqconsiste = ?")
                               .arg(R::storedColumns()));
    query.addBindValue(Storage::text(number));
    m_storage.run(query);
    std::optional<QStringList> row;
    if (query.next())
        row = readRow(query);
    query.finish();
    return row;
}

std::optional<QStringList> RuleRepository::findOfTax(const QString &tax, const QString &number)
{
    std::optional<QStringList> row = find(number);
    if (row && row->at(R::CDIMPOSTO) != tax)
        row.reset();
    return row;
}

QList<QStringList> RuleRepository::rangeOfTax(const QString &tax, const QString &first,
                                              const QString &last)
{
    QSqlQuery &query = m_storage.prepared(
        QStringLiteral("SELECT %1 FROM consistencia WHERE cdimposto = ? AND nrseqconsiste "
                       "BETWEEN ? AND ? ORDER BY nrseqconsiste")
            .arg(R::storedColumns()));
    query.addBindValue(Storage::text(tax));
    query.addBindValue(Storage::text(first));
    query.addBindValue(Storage::text(last));
    m_storage.run(query);
    QList<QStringList> rows;
    while (query.next())
        rows.append(readRow(query));
    query.finish();
    return rows;
}

QString RuleRepository::duplicateOf(const QString &tax, const QString &cfop, const QString &cst,
                                    const QString &fiscal, const QString &blocked,
                                    const QString &number)
{
    QSqlQuery &query = m_storage.prepared(QStringLiteral(
        "SELECT nrseqconsiste FROM consistencia WHERE cdimposto = ? AND idbloqadmi = ? AND "
        "cdfiscal = ? AND cdfiscoper = ? AND cdsitutrib = ? AND nrseqconsiste <> ?"));
    query.addBindValue(Storage::text(tax));
    query.addBindValue(Storage::text(blocked));
    query.addBindValue(Storage::text(fiscal));
    query.addBindValue(Storage::text(cfop));
    query.addBindValue(Storage::text(cst));
    query.addBindValue(Storage::text(number));
    m_storage.run(query);
    const QString other = query.next() ? query.value(0).toString() : QString();
    query.finish();
    return other;
}

QSet<std::pair<QString, QString>>
RuleRepository::combinationsOf(const QString &tax, const QString &fiscal, const QString &blocked)
{
    QSqlQuery &query = m_storage.prepared(
        QStringLiteral("SELECT cdfiscoper, cdsitutrib FROM consistencia WHERE cdimposto = ? AND "
                       "idbloqadmi = ? AND cdfiscal = ?"));
    query.addBindValue(Storage::text(tax));
    query.addBindValue(Storage::text(blocked));
    query.addBindValue(Storage::text(fiscal));
    m_storage.run(query);
    QSet<std::pair<QString, QString>> combinations;
    while (query.next())
        combinations.insert({query.value(0).toString(), query.value(1).toString()});
    query.finish();
    return combinations;
}

void RuleRepository::update(const QStringList &row)
{
    static const QString sql = [] {
        QStringList sets;
        for (int f = R::CDIMPOSTO; f < R::FieldCount; ++f)
            if (f != R::NRSEQCONSISTE)
                sets.append(R::column(f) + QStringLiteral(" = ?"));
        return QStringLiteral("UPDATE consistencia SET %1 WHERE nrseqconsiste = ?")
            .arg(sets.join(QStringLiteral(", ")));
    }();
    QSqlQuery &query = m_storage.prepared(sql);
    for (int f = R::CDIMPOSTO; f < R::FieldCount; ++f)
        if (f != R::NRSEQCONSISTE)
            query.addBindValue(Storage::text(row.at(f)));
    query.addBindValue(Storage::text(row.at(R::NRSEQCONSISTE)));
    m_storage.run(query);
}

void RuleRepository::remove(const QString &number)
{
    QSqlQuery &query =
        m_storage.prepared(QStringLiteral("DELETE FROM consistencia WHERE nrseqconsiste = ?"));
    query.addBindValue(Storage::text(number));
    m_storage.run(query);
}

void RuleRepository::insert(const QStringList &row)
{
    QSqlQuery &query =
        m_storage.prepared(QStringLiteral("INSERT INTO consistencia (%1) VALUES (%2)")
                               .arg(R::storedColumns(), R::storedPlaceholders()));
    for (int f = R::CDIMPOSTO; f < R::FieldCount; ++f)
        query.bindValue(f - R::CDIMPOSTO, Storage::text(row.at(f)));
    m_storage.run(query);
}

void RuleRepository::insertMany(const QList<QStringList> &rows)
{
    // 50 rows of 17 values stay under every SQLite build's parameter limit.
    constexpr qsizetype Batch = 50;
    constexpr int Stored = R::FieldCount - R::CDIMPOSTO;
    const QString tuple = QLatin1Char('(') + R::storedPlaceholders() + QLatin1Char(')');
    for (qsizetype first = 0; first < rows.size(); first += Batch) {
        const qsizetype count = std::min(Batch, rows.size() - first);
        QStringList tuples;
        for (qsizetype i = 0; i < count; ++i)
            tuples.append(tuple);
        QSqlQuery &query =
            m_storage.prepared(QStringLiteral("INSERT INTO consistencia (%1) VALUES %2")
                                   .arg(R::storedColumns(), tuples.join(QLatin1Char(','))));
        for (qsizetype i = 0; i < count; ++i) {
            const QStringList &row = rows.at(first + i);
            for (int f = R::CDIMPOSTO; f < R::FieldCount; ++f)
                query.bindValue(static_cast<int>(i * Stored + f - R::CDIMPOSTO),
                                Storage::text(row.at(f)));
        }
        m_storage.run(query);
    }
}

void RuleRepository::insertNumbered(QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    qint64 number = reserveNumbers(rows.size());
    for (QStringList &row : rows)
        row[R::NRSEQCONSISTE] = formatNumber(number++);
    insertMany(rows);
}

qint64 RuleRepository::reserveNumbers(qint64 count)
{
    QSqlQuery &bump = m_storage.prepared(
        QStringLiteral("UPDATE contador SET valor = valor + ? WHERE nome = 'consistencia'"));
    bump.addBindValue(count);
    m_storage.run(bump);
    QSqlQuery &read = m_storage.prepared(
        QStringLiteral("SELECT valor FROM contador WHERE nome = 'consistencia'"));
    m_storage.run(read);
    const qint64 last = read.next() ? read.value(0).toLongLong() : count;
    read.finish();
    return last - count + 1;
}

} // namespace kvr::server
