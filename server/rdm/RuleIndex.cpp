#include "server/rdm/RuleIndex.h"

#include "fiscal/FindingRecord.h"
#include "fiscal/MapRecord.h"
#include "protocol/DataPacket.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/RuleRecord.h"
#include "server/storage/Storage.h"

#include <QMutex>
#include <QSet>

#include <algorithm>

namespace kvr::server {

using fiscal::RuleMatch;
using R = RuleRecord;

namespace {

struct Cache
{
    QMutex mutex;
    QHash<QString, std::shared_ptr<const RuleIndex>> byTax;
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

// The tax's change counter; -1 when the tax is not registered.
qint64 currentVersion(Storage &storage, const QString &tax)
{
    QSqlQuery &query = storage.prepared(QStringLiteral(
        "SELECT COALESCE(v.versao, 0) FROM imposto i LEFT JOIN consistencia_versao v ON "
        "v.cdimposto = i.cdimposto WHERE i.cdimposto = ?"));
    query.addBindValue(Storage::text(tax));
    storage.run(query);
    const qint64 version = query.next() ? query.value(0).toLongLong() : -1;
    query.finish();
    return version;
}

QString yesNo(bool yes)
{
    return yes ? QStringLiteral("S") : QStringLiteral("N");
}

} // namespace

std::shared_ptr<const RuleIndex> RuleIndex::of(Storage &storage, const QString &tax)
{
    Catalog::checkTaxCode(tax);
    const qint64 version = currentVersion(storage, tax);
    if (version < 0)
        Catalog(storage).tax(tax); // throws its "not registered"
    Cache &shared = cache();
    {
        QMutexLocker lock(&shared.mutex);
        const auto found = shared.byTax.constFind(tax);
        if (found != shared.byTax.constEnd() && found.value()->m_version == version)
            return found.value();
    }
    // Built outside the lock, so other taxes are served meanwhile. The counter
    // was read before the rules: the rules are at least that new, and a write
    // in between only makes the next call build again.
    std::shared_ptr<RuleIndex> index(new RuleIndex);
    index->m_version = version;
    index->load(storage, tax);
    QMutexLocker lock(&shared.mutex);
    shared.byTax.insert(tax, index);
    return index;
}

void RuleIndex::load(Storage &storage, const QString &tax)
{
    Catalog catalog(storage);
    m_tax = catalog.tax(tax);
    m_cfops = catalog.cfopCodesBetween(QStringLiteral("0000"), QStringLiteral("9999"));

    QSqlQuery &query = storage.prepared(
        QStringLiteral("SELECT %1 FROM consistencia WHERE cdimposto = ? ORDER BY nrseqconsiste")
            .arg(R::storedColumns()));
    query.addBindValue(Storage::text(tax));
    storage.run(query);
    // Codes repeat all over a tax: one shared copy of each keeps the index small.
    QSet<QString> pool;
    const auto shared = [&pool](const QString &value) { return *pool.insert(value); };
    QStringList row = R::blankRow();
    while (query.next()) {
        for (int f = R::CDIMPOSTO; f < R::FieldCount; ++f)
            row[f] = query.value(f - R::CDIMPOSTO).toString();
        Entry entry{RuleMatch::fromRow(row), row.at(R::DSCONSISTENCIA),
                    row.at(R::IDCONSPREDEFI) == QLatin1String("S")};
        for (QString &code : entry.rule.codes)
            code = shared(code);
        const int at = int(m_rules.size());
        m_byKey[{entry.rule.codes[RuleMatch::Cfop], entry.rule.codes[RuleMatch::Cst]}].append(at);
        m_rules.append(std::move(entry));
    }
    query.finish();
}

QStringList RuleIndex::rowOf(const Entry &entry) const
{
    const RuleMatch::Rule &rule = entry.rule;
    QStringList row = R::blankRow();
    row[R::CDIMPOSTO] = m_tax.code;
    row[R::IDCONSATIVA] = yesNo(rule.active);
    row[R::NRSEQCONSISTE] = rule.number;
    for (int f = 0; f < RuleMatch::FieldCount; ++f)
        row[RuleMatch::recordField(RuleMatch::Field(f))] = rule.codes[f];
    row[R::DSCONSISTENCIA] = entry.description;
    row[R::IDCONSISTELANC] = yesNo(rule.atEntry);
    row[R::IDCONSISTEAPRO] = yesNo(rule.atApproval);
    row[R::IDBLOQADMI] = rule.blocked ? QStringLiteral("B") : QStringLiteral("A");
    row[R::IDCONSPREDEFI] = yesNo(entry.predefined);
    return row;
}

fiscal::SimulationReply::Result RuleIndex::simulate(Stage stage, const Codes &line) const
{
    // A rule can match only with its CFOP and CST, or with "any" in their place.
    const QString &cfop = line[RuleMatch::Cfop];
    const QString &cst = line[RuleMatch::Cst];
    QList<QString> cfops{cfop};
    if (!cfop.isEmpty())
        cfops.append(QString());
    QList<QString> csts{cst};
    if (!cst.isEmpty())
        csts.append(QString());
    QList<int> applying;
    for (const QString &c : std::as_const(cfops))
        for (const QString &s : std::as_const(csts))
            for (const int at : m_byKey.value({c, s}))
                if (RuleMatch::applies(m_rules.at(at).rule, stage, line))
                    applying.append(at);
    std::sort(applying.begin(), applying.end());

    bool blocked = false;
    bool admitted = false;
    protocol::PacketWriter writer(R::fields(), applying.size());
    for (const int at : std::as_const(applying)) {
        const Entry &entry = m_rules.at(at);
        (entry.rule.blocked ? blocked : admitted) = true;
        writer.addRow(rowOf(entry));
    }
    return {RuleMatch::verdict(blocked, admitted), writer.finish()};
}

QList<RuleIndex::Finding> RuleIndex::computeFindings() const
{
    // The rules of each kind by CFOP, then CST ("" for any).
    using ByCst = QHash<QString, QList<int>>;
    QHash<QString, ByCst> byKind[2];
    for (int at = 0; at < m_rules.size(); ++at) {
        const RuleMatch::Rule &rule = m_rules.at(at).rule;
        if (RuleMatch::appliesAnywhere(rule))
            byKind[rule.blocked][rule.codes[RuleMatch::Cfop]][rule.codes[RuleMatch::Cst]].append(
                at);
    }
    // The rules of a kind whose CFOP and CST could meet the rule's: the same
    // code or any; every code where the rule has any. With the duplicate key
    // (tax, kind, fiscal code, CFOP, CST) few rules have "any" in both.
    const auto candidates = [&](const RuleMatch::Rule &rule, bool blocked, bool onlyWider) {
        QList<int> found;
        const QString &cfop = rule.codes[RuleMatch::Cfop];
        const QString &cst = rule.codes[RuleMatch::Cst];
        const auto fromCsts = [&](const ByCst &csts) {
            if (cst.isEmpty() && !onlyWider) {
                for (const QList<int> &list : csts)
                    found += list;
                return;
            }
            found += csts.value(cst);
            if (!cst.isEmpty())
                found += csts.value(QString());
        };
        const QHash<QString, ByCst> &kind = byKind[blocked];
        if (cfop.isEmpty() && !onlyWider) {
            for (const ByCst &csts : kind)
                fromCsts(csts);
        } else {
            fromCsts(kind.value(cfop));
            if (!cfop.isEmpty())
                fromCsts(kind.value(QString()));
        }
        return found;
    };

    QList<Finding> conflicts;
    QList<Finding> redundant;
    for (int at = 0; at < m_rules.size(); ++at) {
        const RuleMatch::Rule &rule = m_rules.at(at).rule;
        if (!RuleMatch::appliesAnywhere(rule))
            continue;
        if (rule.blocked) {
            QList<int> others = candidates(rule, false, false);
            std::sort(others.begin(), others.end());
            for (const int other : std::as_const(others))
                if (RuleMatch::overlap(rule, m_rules.at(other).rule))
                    conflicts.append({'C', at, other});
        }
        // Made redundant by the first rule of its kind that applies wherever
        // it does; of two equivalent rules, the later one.
        int by = -1;
        for (const int other : candidates(rule, rule.blocked, true)) {
            if (other == at || (by >= 0 && other > by))
                continue;
            const RuleMatch::Rule &wider = m_rules.at(other).rule;
            if (RuleMatch::covers(wider, rule) && (!RuleMatch::covers(rule, wider) || other < at))
                by = other;
        }
        if (by >= 0)
            redundant.append({'R', at, by});
    }
    return conflicts + redundant;
}

fiscal::FindingsReply::Result RuleIndex::findings() const
{
    std::call_once(m_findingsOnce, [this] { m_findings = computeFindings(); });
    const qsizetype shown = std::min<qsizetype>(m_findings.size(), MaxFindings);
    protocol::PacketWriter writer(fiscal::FindingRecord::fields(), shown);
    for (qsizetype i = 0; i < shown; ++i) {
        const Finding &finding = m_findings.at(i);
        writer.addRow({QString(QLatin1Char(finding.kind)), m_rules.at(finding.rule).rule.number,
                       m_rules.at(finding.other).rule.number});
    }
    return {m_findings.size(), writer.finish()};
}

QByteArray RuleIndex::map(Stage stage, const QString &direction) const
{
    // Counts of [blocked] rules by CFOP and CST, by CFOP with any CST, by CST
    // with any CFOP, and with any of both; a cell adds up the four.
    QHash<Key, qint64> exact[2];
    QHash<QString, qint64> cfopOnly[2];
    QHash<QString, qint64> cstOnly[2];
    qint64 everywhere[2] = {0, 0};
    for (const Entry &entry : m_rules) {
        const RuleMatch::Rule &rule = entry.rule;
        if (!rule.active || !RuleMatch::verifiedAt(rule, stage) ||
            !RuleMatch::fieldMatches(RuleMatch::Direction, rule.codes[RuleMatch::Direction],
                                     direction))
            continue;
        const QString &cfop = rule.codes[RuleMatch::Cfop];
        const QString &cst = rule.codes[RuleMatch::Cst];
        const int kind = rule.blocked;
        if (cfop.isEmpty() && cst.isEmpty())
            ++everywhere[kind];
        else if (cfop.isEmpty())
            ++cstOnly[kind][cst];
        else if (cst.isEmpty())
            ++cfopOnly[kind][cfop];
        else
            ++exact[kind][{cfop, cst}];
    }
    // Entries are 1-3, exits 5-7.
    const QString firsts =
        direction == QLatin1String("E") ? QStringLiteral("123") : QStringLiteral("567");
    const QStringList csts = m_tax.csts.isEmpty() ? QStringList{QString()} : m_tax.csts;
    QStringList cfops;
    for (const QString &cfop : m_cfops)
        if (firsts.contains(cfop.at(0)))
            cfops.append(cfop);

    protocol::PacketWriter writer(fiscal::MapRecord::fields(), cfops.size() * csts.size());
    for (const QString &cfop : std::as_const(cfops)) {
        for (const QString &cst : csts) {
            qint64 count[2];
            for (int kind = 0; kind < 2; ++kind)
                count[kind] = everywhere[kind] + cfopOnly[kind].value(cfop) +
                              (cst.isEmpty() ? 0 : cstOnly[kind].value(cst)) +
                              (cst.isEmpty() ? 0 : exact[kind].value({cfop, cst}));
            writer.addRow({cfop, cst, QString::number(count[1]), QString::number(count[0])});
        }
    }
    return writer.finish();
}

} // namespace kvr::server
