#pragma once

#include "protocol/DataPacket.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::protocol {

// The consistency rule record: 18 text fields in a fixed order, the one
// definition that the server's storage, the screens' datasets, the tests and
// the benchmarks read. A row is a QStringList with one value per field.
class RuleRecord
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
    static QString name(int field);
    static int width(int field);
    // The field of a name; -1 for a name the record does not hold.
    static int indexOf(const QString &name);
    // An empty row of the right size.
    static QStringList blankRow();
};

} // namespace kvr::protocol
