#pragma once

#include "fiscal/RecordLayout.h"

namespace kvr::fiscal {

// The CFOP record of getCFOP and getVdCFOP.
class CfopRecord final : public RecordLayout<CfopRecord>
{
public:
    enum Field { CDCFOPPADRAO, DSCFOPPADRAO, FieldCount };

    static const QList<PacketField> &fields();
};

} // namespace kvr::fiscal
