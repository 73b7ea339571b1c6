#include "fiscal/RuleRecord.h"

namespace kvr::fiscal {

const QList<PacketField> &RuleRecord::fields()
{
    static const QList<PacketField> list = {
        {QStringLiteral("IDMARCADO"), 1},       {QStringLiteral("CDIMPOSTO"), 2},
        {QStringLiteral("IDCONSATIVA"), 1},     {QStringLiteral("NRSEQCONSISTE"), 10},
        {QStringLiteral("IDENTRSAIDOP"), 1},    {QStringLiteral("CDFISCOPER"), 4},
        {QStringLiteral("CDCST1DIGT"), 1},      {QStringLiteral("CDSITUTRIB"), 2},
        {QStringLiteral("CDFISCAL"), 1},        {QStringLiteral("IDTPBASECALC"), 1},
        {QStringLiteral("IDTPALIQUOTA"), 1},    {QStringLiteral("IDTPVRIMPOSTO"), 1},
        {QStringLiteral("CDTPCREDPICOITE"), 3}, {QStringLiteral("DSCONSISTENCIA"), 250},
        {QStringLiteral("IDCONSISTELANC"), 1},  {QStringLiteral("IDCONSISTEAPRO"), 1},
        {QStringLiteral("IDBLOQADMI"), 1},      {QStringLiteral("IDCONSPREDEFI"), 1},
    };
    return list;
}

} // namespace kvr::fiscal
