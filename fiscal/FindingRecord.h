#pragma once

#include "fiscal/RecordLayout.h"

namespace kvr::fiscal {

// A finding of getConflitos: a pair of rules of one tax and what is wrong
// with them. "C": a blocked and an admitted rule apply to a common line at a
// common stage (`NRSEQCONSISTE` the blocked one). "R": `NRSEQCONSISTE` is
// redundant, as `NRSEQOUTRA`, of the same kind, applies wherever it does.
class FindingRecord : public RecordLayout<FindingRecord>
{
public:
    enum Field { IDTIPOACHADO, NRSEQCONSISTE, NRSEQOUTRA, FieldCount };

    static const QList<PacketField> &fields();
};

} // namespace kvr::fiscal
