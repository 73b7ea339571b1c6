#include "server/rdm/AuditTrail.h"

#include "server/auth/CallContext.h"
#include "server/common/AppError.h"
#include "server/common/ServerLog.h"
#include "server/rdm/RuleRecord.h"
#include "server/storage/Storage.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScopeGuard>

#include <sqlite3.h>

namespace kvr::server {

using R = RuleRecord;

namespace {

// Fields a history row tells old and new values of: every stored field but
// the tax and the number, which are columns of their own.
bool tracked(int field)
{
    return field != R::IDMARCADO && field != R::CDIMPOSTO && field != R::NRSEQCONSISTE;
}

void appendJsonString(QString &out, const QString &value)
{
    out += QLatin1Char('"');
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
}

const QStringList &metaNames()
{
    static const QStringList names = {
        QStringLiteral("NRSEQHISTORICO"), QStringLiteral("DTALTERACAO"),
        QStringLiteral("NMUSUARIO"),      QStringLiteral("DSORIGEM"),
        QStringLiteral("NMMETODO"),       QStringLiteral("CDIMPOSTO"),
        QStringLiteral("NRSEQCONSISTE"),  QStringLiteral("IDOPERACAO"),
        QStringLiteral("DSCAMPOS")};
    return names;
}

const char *const InsertOne =
    "INSERT INTO historico (nrseqhistorico, dtalteracao, nmusuario, dsorigem, nmmetodo, "
    "cdimposto, nrseqconsiste, idoperacao, dsalteracoes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";

} // namespace

AuditTrail::AuditTrail(Storage &storage, const QString &method)
    : m_storage(storage), m_method(method), m_enabled(CallContext::current().history)
{
}

const QList<protocol::PacketField> &AuditTrail::fields()
{
    static const QList<protocol::PacketField> list = [] {
        const QList<int> widths = {20, 24, 64, 64, 30, 2, 10, 1, 250};
        QList<protocol::PacketField> out;
        for (qsizetype i = 0; i < metaNames().size(); ++i)
            out.append({metaNames().at(i), widths.at(i)});
        for (int f = 0; f < R::FieldCount; ++f) {
            if (!tracked(f))
                continue;
            out.append({R::name(f) + QStringLiteral("_ANTES"), R::width(f)});
            out.append({R::name(f) + QStringLiteral("_DEPOIS"), R::width(f)});
        }
        return out;
    }();
    return list;
}

void AuditTrail::created(const QStringList &row)
{
    add({}, row, QLatin1Char('I'));
}

void AuditTrail::changed(const QStringList &before, const QStringList &after)
{
    add(before, after, QLatin1Char('A'));
}

void AuditTrail::removed(const QStringList &row)
{
    add(row, {}, QLatin1Char('E'));
}

void AuditTrail::add(const QStringList &before, const QStringList &after, QChar operation)
{
    if (!m_enabled)
        return;
    const QStringList &row = after.isEmpty() ? before : after;
    QString changes;
    changes.reserve(512);
    changes += QLatin1Char('[');
    for (int f = 0; f < R::FieldCount; ++f) {
        const QString old = before.value(f);
        const QString now = after.value(f);
        if (!tracked(f) || old == now)
            continue;
        if (changes.size() > 1)
            changes += QLatin1Char(',');
        // The field by its place in the record, whose order the wire fixes:
        // the names would double what a creation writes.
        changes += QLatin1Char('[');
        changes += QString::number(f);
        changes += QLatin1Char(',');
        appendJsonString(changes, old);
        changes += QLatin1Char(',');
        appendJsonString(changes, now);
        changes += QLatin1Char(']');
    }
    if (changes.size() == 1)
        return;
    changes += QLatin1Char(']');
    m_entries.append({row.value(R::CDIMPOSTO), row.value(R::NRSEQCONSISTE), operation, changes});
}

void AuditTrail::write()
{
    if (m_entries.isEmpty())
        return;
    const auto count = static_cast<qint64>(m_entries.size());
    QSqlQuery &bump = m_storage.prepared(QStringLiteral(
        "UPDATE contador SET valor = valor + ? WHERE nome = 'historico' RETURNING valor"));
    bump.addBindValue(count);
    m_storage.run(bump);
    qint64 number = (bump.next() ? bump.value(0).toLongLong() : count) - count + 1;
    bump.finish();

    const CallContext &caller = CallContext::current();
    const QString when = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    if (sqlite3 *db = m_storage.sqliteHandle()) {
        writeSqlite(db, number, when);
        return;
    }
    // What all rows of the call share is bound once per statement. Binding
    // costs more per value the more values a statement has (the SQLite
    // driver looks each one up by name), so batches stay small.
    constexpr qsizetype Batch = 20;
    constexpr int Columns = 5;
    for (qsizetype first = 0; first < m_entries.size(); first += Batch) {
        const qsizetype rows = std::min(Batch, m_entries.size() - first);
        QSqlQuery &insert = m_storage.prepared(
            QStringLiteral("WITH c (dt, us, org, met) AS (VALUES (?, ?, ?, ?)), "
                           "v (nr, imp, rule, op, alt) AS (VALUES %1) "
                           "INSERT INTO historico (nrseqhistorico, dtalteracao, nmusuario, "
                           "dsorigem, nmmetodo, cdimposto, nrseqconsiste, idoperacao, "
                           "dsalteracoes) SELECT CAST(v.nr AS BIGINT), c.dt, c.us, c.org, c.met, "
                           "v.imp, v.rule, "
                           "v.op, v.alt FROM c, v")
                .arg(QStringList(rows, QStringLiteral("(?, ?, ?, ?, ?)")).join(QLatin1Char(','))));
        insert.bindValue(0, when);
        insert.bindValue(1, Storage::text(caller.user));
        insert.bindValue(2, Storage::text(caller.peer));
        insert.bindValue(3, m_method);
        for (qsizetype i = 0; i < rows; ++i) {
            const Entry &entry = m_entries.at(first + i);
            const int at = 4 + static_cast<int>(i * Columns);
            insert.bindValue(at, number++);
            insert.bindValue(at + 1, Storage::text(entry.tax));
            insert.bindValue(at + 2, Storage::text(entry.number));
            insert.bindValue(at + 3, QString(entry.operation));
            insert.bindValue(at + 4, entry.changes);
        }
        m_storage.run(insert);
    }
    m_entries.clear();
}

// SQLite's own calls, one prepared row at a time: Qt's driver looks every
// bound value up by name, which costs more than the row itself.
void AuditTrail::writeSqlite(sqlite3 *db, qint64 number, const QString &when)
{
    const auto failed = [db](const char *step) {
        qCWarning(lcServer) << "writing the history failed at" << step << ":" << sqlite3_errmsg(db);
        return AppError(protocol::RpcError::Database,
                        QStringLiteral("Falha no banco de dados; a operação não foi concluída. "
                                       "Tente novamente; se o erro persistir, avise o "
                                       "administrador do sistema."));
    };
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, InsertOne, -1, &statement, nullptr) != SQLITE_OK)
        throw failed("prepare");
    const auto finalize = qScopeGuard([statement] { sqlite3_finalize(statement); });
    const CallContext &caller = CallContext::current();
    const QByteArray shared[] = {when.toUtf8(), caller.user.toUtf8(), caller.peer.toUtf8(),
                                 m_method.toUtf8()};
    for (int i = 0; i < 4; ++i)
        sqlite3_bind_text(statement, i + 2, shared[i].constData(), int(shared[i].size()),
                          SQLITE_STATIC);
    for (const Entry &entry : std::as_const(m_entries)) {
        const QByteArray tax = entry.tax.toUtf8();
        const QByteArray rule = entry.number.toUtf8();
        const char operation = static_cast<char>(entry.operation.toLatin1());
        const QByteArray changes = entry.changes.toUtf8();
        sqlite3_bind_int64(statement, 1, number++);
        sqlite3_bind_text(statement, 6, tax.constData(), int(tax.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 7, rule.constData(), int(rule.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 8, &operation, 1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 9, changes.constData(), int(changes.size()), SQLITE_STATIC);
        if (sqlite3_step(statement) != SQLITE_DONE)
            throw failed("step");
        sqlite3_reset(statement);
    }
    m_entries.clear();
}

QByteArray AuditTrail::history(Storage &storage, const QString &tax, const QString &number)
{
    const QString select = QStringLiteral(
        "SELECT nrseqhistorico, dtalteracao, nmusuario, dsorigem, nmmetodo, cdimposto, "
        "nrseqconsiste, idoperacao, dsalteracoes FROM historico WHERE cdimposto = ? %1 "
        "ORDER BY nrseqhistorico DESC LIMIT %2");
    QSqlQuery &query = storage.prepared(
        select.arg(number.isEmpty() ? QString() : QStringLiteral("AND nrseqconsiste = ?"))
            .arg(MaxRows));
    query.addBindValue(Storage::text(tax));
    if (!number.isEmpty())
        query.addBindValue(number);
    storage.run(query);

    // Where each tracked field's pair of values goes in a packet row.
    QList<int> slot(R::FieldCount, -1);
    const qsizetype meta = metaNames().size();
    int next = static_cast<int>(meta);
    for (int f = 0; f < R::FieldCount; ++f)
        if (tracked(f)) {
            slot[f] = next;
            next += 2;
        }
    protocol::PacketWriter writer(fields(), 64);
    QStringList row;
    while (query.next()) {
        row = QStringList(fields().size());
        for (int i = 0; i < meta - 1; ++i)
            row[i] = query.value(i).toString();
        QStringList names;
        const QJsonArray changes =
            QJsonDocument::fromJson(query.value(8).toString().toUtf8()).array();
        for (const QJsonValue &change : changes) {
            const QJsonArray triple = change.toArray();
            const int field = triple.at(0).toInt(-1);
            const int at = slot.value(field, -1);
            if (at < 0)
                continue;
            names.append(R::name(field));
            row[at] = triple.at(1).toString();
            row[at + 1] = triple.at(2).toString();
        }
        row[meta - 1] = names.join(QLatin1Char(','));
        writer.addRow(row);
    }
    query.finish();
    return writer.finish();
}

} // namespace kvr::server
