#pragma once

#include "fiscal/RecordLayout.h"

namespace kvr::fiscal {

// The consistency rule record: 18 text fields in a fixed order, the one
// definition that the server's storage, the screens' datasets, the tests and
// the benchmarks read. A row is a QStringList with one value per field.
class RuleRecord : public RecordLayout<RuleRecord>
{
public:
    enum Field {
        IDMARCADO,
        CDIMPOSTO,
        IDCONSATIVA,
        NRSEQCONSISTE,
        IDENTRSAIDOP,
        CDFISCOPER,
        CDCST1DIGT,
        CDSITUTRIB,
        CDFISCAL,
        IDTPBASECALC,
        IDTPALIQUOTA,
        IDTPVRIMPOSTO,
        CDTPCREDPICOITE,
        DSCONSISTENCIA,
        IDCONSISTELANC,
        IDCONSISTEAPRO,
        IDBLOQADMI,
        IDCONSPREDEFI,
        FieldCount
    };

    // Names and widths, in record order.
    static const QList<PacketField> &fields();
};

} // namespace kvr::fiscal
