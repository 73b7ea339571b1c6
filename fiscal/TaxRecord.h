#pragma once

#include "fiscal/RecordLayout.h"

namespace kvr::fiscal {

// The tax record of getImposto: one row per tax. The NF-e code selects the
// tax's CST family (CstTable).
class TaxRecord final : public RecordLayout<TaxRecord>
{
public:
    enum Field { CDIMPOSTO, SGIMPOSTO, NMIMPOSTO, CDIMPOSTONFE, FieldCount };

    static const QList<PacketField> &fields();
};

} // namespace kvr::fiscal
