#pragma once

#include "server/rdm/RuleDelta.h"

namespace kvr::server {

class AuditTrail;
class Catalog;
class Storage;

// Applies a setConsistencia delta with a few statements per batch of rules
// instead of three per change: the stored rules read by number, the
// duplicate keys looked up together, then the deletes and the updates. So
// the time the writer lock is held grows with the delta's size, no faster.
// The final state decides duplicates: a rule may take the key of a rule the
// same delta deletes, but not the key another rule holds before the delta.
// Call inside the write transaction.
class DeltaWriter final
{
public:
    DeltaWriter(Storage &storage, Catalog &catalog) : m_storage(storage), m_catalog(catalog) {}

    // Throws AppError for the first change it refuses; nothing is written then.
    void apply(const QList<RuleChange> &changes, AuditTrail &history);

    // A delta may name a rule once: two changes of one rule would leave it as
    // whichever ran last. Checked before the transaction.
    static void checkEachRuleOnce(const QList<RuleChange> &changes);

private:
    Storage &m_storage;
    Catalog &m_catalog;
};

} // namespace kvr::server
