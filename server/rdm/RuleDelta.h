#pragma once

#include "protocol/DeltaData.h"

#include <QList>
#include <QStringList>

namespace kvr::server {

// One change of a setConsistencia delta, as full rule records.
struct RuleChange
{
    bool remove = false;
    QStringList old; // the rule as loaded
    QStringList row; // the rule as posted; empty for a removal
};

// Reads a delta into rule records in RuleRecord order, whatever the order of
// the packet's columns. IDMARCADO of a posted row is cleared, as it is never
// stored. A malformed delta is thrown as an invalid-params error.
class RuleDelta final
{
public:
    static QList<RuleChange> read(const protocol::DeltaData &data);
};

} // namespace kvr::server
