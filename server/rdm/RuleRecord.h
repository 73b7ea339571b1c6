#pragma once

#include "protocol/DataPacket.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::server {

// The consistency rule record as the maintenance screen holds it: 18 text
// fields in a fixed order. A row is a QStringList with one value per field.
class RuleRecord final
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

    static const QList<protocol::PacketField> &fields();
    static QString name(int field);
    static int width(int field);
    // Database column of a stored field; IDMARCADO is not stored.
    static QString column(int field);
    // "c1, c2, ..." of the 17 stored fields, in record order from CDIMPOSTO.
    static const QString &storedColumns();
    // "?, ?, ..." matching storedColumns().
    static const QString &storedPlaceholders();
    // An empty row of the right size.
    static QStringList blankRow();
};

} // namespace kvr::server
