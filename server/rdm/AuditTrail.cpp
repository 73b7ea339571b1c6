#include "server/rdm/AuditTrail.h"

#include "server/auth/CallContext.h"
#include "server/rdm/RuleRecord.h"
#include "server/storage/Storage.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

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
    QString changes = QStringLiteral("[");
    for (int f = 0; f < R::FieldCount; ++f) {
        const QString old = before.value(f);
        const QString now = after.value(f);
        if (!tracked(f) || old == now)
            continue;
        if (changes.size() > 1)
            changes += QLatin1Char(',');
        changes += QLatin1Char('[');
        appendJsonString(changes, R::name(f));
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
    QSqlQuery &bump = m_storage.prepared(
        QStringLiteral("UPDATE contador SET valor = valor + ? WHERE nome = 'historico'"));
    bump.addBindValue(count);
    m_storage.run(bump);
    QSqlQuery &read =
        m_storage.prepared(QStringLiteral("SELECT valor FROM contador WHERE nome = 'historico'"));
    m_storage.run(read);
    qint64 number = (read.next() ? read.value(0).toLongLong() : count) - count + 1;
    read.finish();

    const CallContext &caller = CallContext::current();
    const QString when = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    // 50 rows of 9 values stay under every SQLite build's parameter limit.
    constexpr qsizetype Batch = 50;
    constexpr int Columns = 9;
    for (qsizetype first = 0; first < m_entries.size(); first += Batch) {
        const qsizetype rows = std::min(Batch, m_entries.size() - first);
        QStringList tuples;
        for (qsizetype i = 0; i < rows; ++i)
            tuples.append(QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        QSqlQuery &insert = m_storage.prepared(
            QStringLiteral("INSERT INTO historico (nrseqhistorico, dtalteracao, nmusuario, "
                           "dsorigem, nmmetodo, cdimposto, nrseqconsiste, idoperacao, "
                           "dsalteracoes) VALUES %1")
                .arg(tuples.join(QLatin1Char(','))));
        for (qsizetype i = 0; i < rows; ++i) {
            const Entry &entry = m_entries.at(first + i);
            const int at = static_cast<int>(i * Columns);
            insert.bindValue(at, number++);
            insert.bindValue(at + 1, when);
            insert.bindValue(at + 2, Storage::text(caller.user));
            insert.bindValue(at + 3, Storage::text(caller.peer));
            insert.bindValue(at + 4, m_method);
            insert.bindValue(at + 5, Storage::text(entry.tax));
            insert.bindValue(at + 6, Storage::text(entry.number));
            insert.bindValue(at + 7, QString(entry.operation));
            insert.bindValue(at + 8, entry.changes);
        }
        m_storage.run(insert);
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
    QHash<QString, int> slot;
    const qsizetype meta = metaNames().size();
    int next = static_cast<int>(meta);
    for (int f = 0; f < R::FieldCount; ++f)
        if (tracked(f)) {
            slot.insert(R::name(f), next);
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
            const int at = slot.value(triple.at(0).toString(), -1);
            if (at < 0)
                continue;
            names.append(triple.at(0).toString());
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
