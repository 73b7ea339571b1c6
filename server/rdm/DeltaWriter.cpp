#include "server/rdm/DeltaWriter.h"

#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/rdm/AuditTrail.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleValidator.h"
#include "server/storage/Storage.h"

#include <QHash>
#include <QSet>

namespace kvr::server {

using R = RuleRecord;

namespace {

// Rules per statement: a batch is padded (its last entry repeated) up to the
// next of these sizes, so three prepared statements of each kind serve every
// delta and a small one stays small. Binding costs more per value the more
// values a statement has (the SQLite driver looks each one up by name), so
// the largest stays at 64 rules.
constexpr qsizetype Sizes[] = {1, 8, 64};
constexpr qsizetype Batch = 64;

qsizetype paddedSize(qsizetype count)
{
    for (const qsizetype size : Sizes)
        if (count <= size)
            return size;
    return Batch;
}

// The duplicate key of a rule row.
QString keyOf(const QStringList &row)
{
    return QStringList{row.at(R::CDIMPOSTO), row.at(R::IDBLOQADMI), row.at(R::CDFISCAL),
                       row.at(R::CDFISCOPER), row.at(R::CDSITUTRIB)}
        .join(QChar(0x1f));
}

// "(?, ?), (?, ?), ..." for `rows` rows of `perRow` values; "?, ?, ..." for one value a row.
QString marks(qsizetype rows, int perRow)
{
    const QString one = QStringList(perRow, QStringLiteral("?")).join(QStringLiteral(", "));
    const QString tuple = perRow == 1 ? one : QLatin1Char('(') + one + QLatin1Char(')');
    return QStringList(rows, tuple).join(QStringLiteral(", "));
}

// Calls `each(first, count, size)` for every batch of `total` entries, `size`
// being the padded size of its statement.
template <typename Each> void inBatches(qsizetype total, Each each)
{
    for (qsizetype first = 0; first < total; first += Batch) {
        const qsizetype count = std::min(Batch, total - first);
        each(first, count, paddedSize(count));
    }
}

} // namespace

void DeltaWriter::checkEachRuleOnce(const QList<RuleChange> &changes)
{
    QSet<QString> seen;
    seen.reserve(changes.size());
    for (const RuleChange &change : changes) {
        const QString &number = change.old.at(R::NRSEQCONSISTE);
        if (seen.contains(number))
            throw AppError::validation(
                QStringLiteral("O pacote altera a consistência %1 mais de uma vez; cada "
                               "consistência pode ter uma só alteração por gravação. "
                               "Recarregue as consistências e refaça a alteração.")
                    .arg(protocol::excerpt(number)));
        seen.insert(number);
    }
}

void DeltaWriter::apply(const QList<RuleChange> &changes, AuditTrail &history)
{
    // The stored rules the delta names.
    QHash<QString, QStringList> stored;
    stored.reserve(changes.size());
    inBatches(changes.size(), [&](qsizetype first, qsizetype count, qsizetype size) {
        QSqlQuery &query = m_storage.prepared(
            QStringLiteral("SELECT %1 FROM consistencia WHERE nrseqconsiste IN (%2)")
                .arg(R::storedColumns(), marks(size, 1)));
        for (qsizetype i = 0; i < size; ++i)
            query.addBindValue(
                Storage::text(changes.at(first + std::min(i, count - 1)).old.at(R::NRSEQCONSISTE)));
        m_storage.run(query);
        while (query.next()) {
            QStringList row;
            row.reserve(R::FieldCount);
            row.append(QString());
            for (int f = 0; f < R::FieldCount - 1; ++f)
                row.append(query.value(f).toString());
            stored.insert(row.at(R::NRSEQCONSISTE), row);
        }
        query.finish();
    });

    // Each change against the stored rule, in the delta's order.
    RuleValidator validator(m_catalog);
    QList<QStringList> updated;
    QStringList removed;
    QHash<QString, QString> finalKeys; // key -> number, of the updated rules
    QSet<QString> removedNumbers;
    for (const RuleChange &change : changes) {
        const QString &number = change.old.at(R::NRSEQCONSISTE);
        const auto it = stored.constFind(number);
        RuleValidator::checkUnchanged(
            change.old, it == stored.constEnd() ? std::nullopt : std::optional<QStringList>(*it));
        if (change.remove) {
            removed.append(number);
            removedNumbers.insert(number);
            continue;
        }
        QStringList row = change.row;
        validator.checkUpdate(change.old, row);
        const QString key = keyOf(row);
        RuleValidator::checkNoDuplicate(number, finalKeys.value(key));
        finalKeys.insert(key, number);
        updated.append(row);
    }

    // Keys other rules hold now: taken, unless the delta deletes that rule.
    inBatches(updated.size(), [&](qsizetype first, qsizetype count, qsizetype size) {
        QSqlQuery &query = m_storage.prepared(
            QStringLiteral("WITH k (a, b, f, o, t) AS (VALUES %1) SELECT c.nrseqconsiste, "
                           "c.cdimposto, c.idbloqadmi, c.cdfiscal, c.cdfiscoper, c.cdsitutrib "
                           "FROM k JOIN consistencia c ON c.cdimposto = k.a AND "
                           "c.idbloqadmi = k.b AND c.cdfiscal = k.f AND c.cdfiscoper = k.o AND "
                           "c.cdsitutrib = k.t")
                .arg(marks(size, 5)));
        for (qsizetype i = 0; i < size; ++i) {
            const QStringList &row = updated.at(first + std::min(i, count - 1));
            for (const int f : {int(R::CDIMPOSTO), int(R::IDBLOQADMI), int(R::CDFISCAL),
                                int(R::CDFISCOPER), int(R::CDSITUTRIB)})
                query.addBindValue(Storage::text(row.at(f)));
        }
        m_storage.run(query);
        QList<std::pair<QString, QString>> holders; // number, key
        while (query.next()) {
            QStringList key;
            for (int c = 1; c <= 5; ++c)
                key.append(query.value(c).toString());
            holders.append({query.value(0).toString(), key.join(QChar(0x1f))});
        }
        query.finish();
        for (const auto &[holder, key] : holders) {
            const QString number = finalKeys.value(key);
            if (holder != number && !removedNumbers.contains(holder))
                RuleValidator::checkNoDuplicate(number, holder);
        }
    });

    inBatches(removed.size(), [&](qsizetype first, qsizetype count, qsizetype size) {
        QSqlQuery &query = m_storage.prepared(
            QStringLiteral("DELETE FROM consistencia WHERE nrseqconsiste IN (%1)")
                .arg(marks(size, 1)));
        for (qsizetype i = 0; i < size; ++i)
            query.addBindValue(Storage::text(removed.at(first + std::min(i, count - 1))));
        m_storage.run(query);
    });

    // The stored fields but the number, as the columns of the VALUES list.
    static const QList<int> fields = [] {
        QList<int> list;
        for (int f = R::CDIMPOSTO; f < R::FieldCount; ++f)
            if (f != R::NRSEQCONSISTE)
                list.append(f);
        return list;
    }();
    // By number through the primary key; each row takes its values from the
    // batch (a join would scan the rules once per batch on SQLite).
    static const QString updateSql = [] {
        QStringList names{QStringLiteral("nr")};
        QStringList columns;
        QStringList values;
        for (const int f : fields) {
            names.append(QStringLiteral("v%1").arg(f));
            columns.append(R::column(f));
            values.append(QStringLiteral("v.v%1").arg(f));
        }
        return QStringLiteral("WITH v (%1) AS (VALUES %3) UPDATE consistencia SET (%2) = "
                              "(SELECT %4 FROM v WHERE v.nr = consistencia.nrseqconsiste LIMIT 1) "
                              "WHERE nrseqconsiste IN (SELECT nr FROM v)")
            .arg(names.join(QStringLiteral(", ")), columns.join(QStringLiteral(", ")),
                 QStringLiteral("%3"), values.join(QStringLiteral(", ")));
    }();
    inBatches(updated.size(), [&](qsizetype first, qsizetype count, qsizetype size) {
        QSqlQuery &query =
            m_storage.prepared(updateSql.arg(marks(size, static_cast<int>(fields.size()) + 1)));
        for (qsizetype i = 0; i < size; ++i) {
            const QStringList &row = updated.at(first + std::min(i, count - 1));
            query.addBindValue(Storage::text(row.at(R::NRSEQCONSISTE)));
            for (const int f : fields)
                query.addBindValue(Storage::text(row.at(f)));
        }
        m_storage.run(query);
    });

    qsizetype next = 0;
    for (const RuleChange &change : changes) {
        const QStringList &before = stored.value(change.old.at(R::NRSEQCONSISTE));
        if (change.remove)
            history.removed(before);
        else
            history.changed(before, updated.at(next++));
    }
}

} // namespace kvr::server
