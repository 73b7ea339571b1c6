#include "fiscal/FindingRecord.h"

namespace kvr::fiscal {

const QList<PacketField> &FindingRecord::fields()
{
    static const QList<PacketField> list = {
        {QStringLiteral("IDTIPOACHADO"), 1},
        {QStringLiteral("NRSEQCONSISTE"), 10},
        {QStringLiteral("NRSEQOUTRA"), 10},
    };
    return list;
}

} // namespace kvr::fiscal
