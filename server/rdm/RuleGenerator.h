#pragma once

#include "fiscal/ConsisteFiscalContract.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

namespace kvr::server {

struct TaxInfo;

// The rules a cadAutoInsere creates, worked out without the database: every
// CFOP of the call's range with every CST of the tax's family in its range,
// except the combinations the tax already has with the same fiscal code and
// blocked/admitted flag. A range left empty stands for any value, so it
// contributes one blank CFOP or CST.
class RuleGenerator final
{
public:
    using Combination = std::pair<QString, QString>; // CFOP, CST

    RuleGenerator(const TaxInfo &tax, const fiscal::CadAutoInsere &args);

    // The values every new rule shares: number, CFOP and CST blank, "any"
    // stored as "0".
    const QStringList &blueprint() const { return m_blueprint; }

    // The new rules, CFOP by CFOP and CST by CST within it, numbers blank.
    // `cfops`: the registered CFOPs of the call's range, in order (ignored
    // when the call gives no CFOP range); `existing`: the combinations
    // already registered with the blueprint's fiscal code and flag.
    QList<QStringList> rules(const QStringList &cfops, const QSet<Combination> &existing) const;

private:
    QStringList m_blueprint;
    QStringList m_csts;
    bool m_anyCfop = false;
};

} // namespace kvr::server
