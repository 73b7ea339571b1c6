#include "fiscal/CfopRecord.h"

namespace kvr::fiscal {

const QList<PacketField> &CfopRecord::fields()
{
    static const QList<PacketField> list = {{QStringLiteral("CDCFOPPADRAO"), 10},
                                            {QStringLiteral("DSCFOPPADRAO"), 500}};
    return list;
}

} // namespace kvr::fiscal
