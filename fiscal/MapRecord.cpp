#include "fiscal/MapRecord.h"

namespace kvr::fiscal {

const QList<PacketField> &MapRecord::fields()
{
    static const QList<PacketField> list = {
        {QStringLiteral("CDFISCOPER"), 4},
        {QStringLiteral("CDSITUTRIB"), 2},
        {QStringLiteral("QTBLOQUEADAS"), 10},
        {QStringLiteral("QTADMITIDAS"), 10},
    };
    return list;
}

} // namespace kvr::fiscal
