#include "fiscal/TaxRecord.h"

namespace kvr::fiscal {

const QList<PacketField> &TaxRecord::fields()
{
    static const QList<PacketField> list = {{QStringLiteral("CDIMPOSTO"), 2},
                                            {QStringLiteral("SGIMPOSTO"), 10},
                                            {QStringLiteral("NMIMPOSTO"), 30},
                                            {QStringLiteral("CDIMPOSTONFE"), 2}};
    return list;
}

} // namespace kvr::fiscal
