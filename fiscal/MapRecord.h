#pragma once

#include "fiscal/RecordLayout.h"

namespace kvr::fiscal {

// A cell of getMapa: a CFOP and a CST of the tax, and how many active blocked
// and admitted rules match both (an empty code in a rule matches all).
class MapRecord : public RecordLayout<MapRecord>
{
public:
    enum Field { CDFISCOPER, CDSITUTRIB, QTBLOQUEADAS, QTADMITIDAS, FieldCount };

    static const QList<PacketField> &fields();
};

} // namespace kvr::fiscal
