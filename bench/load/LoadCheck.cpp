#include "bench/load/LoadCheck.h"

#include "fiscal/RuleRecord.h"

#include <QHash>

namespace kvr::load {

using R = fiscal::RuleRecord;

QStringList LoadCheck::check(const protocol::DataPacket &own,
                             const protocol::DataPacket &shared) const
{
    QStringList problems;
    if (own.fields != R::fields() || shared.fields != R::fields())
        return {QStringLiteral("the final read is not in record order")};
    checkOwn(own, problems);
    checkShared(shared, problems);
    return problems;
}

void LoadCheck::checkOwn(const protocol::DataPacket &own, QStringList &problems) const
{
    QHash<QString, QList<QStringList>> stored; // "CFOP/CST" -> rules of the own kind
    for (const QStringList &row : own.rows)
        if (row.at(R::CDFISCAL) == Space::OwnFiscal && row.at(R::IDBLOQADMI) == Space::Flag)
            stored[row.at(R::CDFISCOPER) + QLatin1Char('/') + row.at(R::CDSITUTRIB)].append(row);

    for (size_t client = 0; client < m_records.size(); ++client) {
        const ClientRecord &record = *m_records.at(client);
        for (const QString &cfop : record.ownCfops) {
            for (const QString &cst : m_plan.ownCsts) {
                const QString combo = cfop + QLatin1Char('/') + cst;
                const bool acknowledged = record.inserted.contains(combo);
                const qsizetype expected = acknowledged || m_plan.existing.contains(combo) ? 1 : 0;
                const QList<QStringList> rules = stored.value(combo);
                if (rules.size() < expected)
                    problems.append(QStringLiteral("lost: rule %1 created for client %2 is missing")
                                        .arg(combo)
                                        .arg(client));
                else if (rules.size() > expected)
                    problems.append(QStringLiteral("extra: rule %1 of client %2 is stored %3 "
                                                   "times, acknowledged %4")
                                        .arg(combo)
                                        .arg(client)
                                        .arg(rules.size())
                                        .arg(expected));
                if (!acknowledged || rules.size() != 1)
                    continue;
                const QString &number = rules.first().at(R::NRSEQCONSISTE);
                const QString sign = record.baseSign.value(number, Space::InitialBaseSign);
                if (rules.first().at(R::IDTPBASECALC) != sign)
                    problems.append(QStringLiteral("lost: rule %1 has base sign %2, the last "
                                                   "acknowledged change set %3")
                                        .arg(number, rules.first().at(R::IDTPBASECALC), sign));
            }
        }
    }
}

void LoadCheck::checkShared(const protocol::DataPacket &shared, QStringList &problems) const
{
    // Every edit names the state it replaced, so the acknowledged edits of one
    // rule must form one chain from its first description to its last.
    QHash<QString, QHash<QString, QString>> next; // number -> from -> to
    QHash<QString, qsizetype> editCount;
    for (const ClientRecord *record : m_records) {
        for (const DescriptionEdit &edit : record->edits) {
            QHash<QString, QString> &chain = next[edit.number];
            if (chain.contains(edit.from))
                problems.append(QStringLiteral("lost: rule %1 was changed twice from one state "
                                               "(\"%2\")")
                                    .arg(edit.number, edit.from));
            chain.insert(edit.from, edit.to);
            ++editCount[edit.number];
        }
    }
    QHash<QString, QString> finalText;
    for (const QStringList &row : shared.rows)
        finalText.insert(row.at(R::NRSEQCONSISTE), row.at(R::DSCONSISTENCIA));
    for (auto it = m_plan.sharedStart.cbegin(); it != m_plan.sharedStart.cend(); ++it) {
        const QString &number = it.key();
        if (!finalText.contains(number)) {
            problems.append(QStringLiteral("lost: shared rule %1 is gone").arg(number));
            continue;
        }
        const QHash<QString, QString> &chain = next.value(number);
        QString text = it.value();
        qsizetype steps = 0;
        while (chain.contains(text) && steps <= chain.size()) {
            text = chain.value(text);
            ++steps;
        }
        if (steps != editCount.value(number) || text != finalText.value(number))
            problems.append(QStringLiteral("lost: rule %1 went through %2 of its %3 acknowledged "
                                           "edits and reads \"%4\", not \"%5\"")
                                .arg(number)
                                .arg(steps)
                                .arg(editCount.value(number))
                                .arg(finalText.value(number), text));
    }
}

} // namespace kvr::load
