#pragma once

#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"

#include <QStringList>

// Stores `count` blocked user rules of `tax`, one per fiscal code x CFOP x
// CST combination in that order, for the benchmarks to read and save.
inline int insertBenchRules(kvr::server::RuleRepository &rules, const QString &tax,
                            const QStringList &fiscalCodes, const QStringList &cfops,
                            const QStringList &csts, int count)
{
    using kvr::server::RuleRecord;
    qint64 number = rules.reserveNumbers(count);
    QStringList row = RuleRecord::blankRow();
    row[RuleRecord::CDIMPOSTO] = tax;
    row[RuleRecord::IDCONSATIVA] = QStringLiteral("S");
    row[RuleRecord::IDENTRSAIDOP] = QStringLiteral("T");
    row[RuleRecord::IDTPBASECALC] = QStringLiteral("0");
    row[RuleRecord::IDTPALIQUOTA] = QStringLiteral("2");
    row[RuleRecord::IDTPVRIMPOSTO] = QStringLiteral("0");
    row[RuleRecord::DSCONSISTENCIA] = QStringLiteral("Regra gerada para medição de desempenho");
    row[RuleRecord::IDCONSISTELANC] = QStringLiteral("S");
    row[RuleRecord::IDCONSISTEAPRO] = QStringLiteral("N");
    row[RuleRecord::IDBLOQADMI] = QStringLiteral("B");
    row[RuleRecord::IDCONSPREDEFI] = QStringLiteral("N");
    int made = 0;
    for (const QString &fiscal : fiscalCodes)
        for (const QString &code : cfops)
            for (const QString &cst : csts) {
                if (made == count)
                    return made;
                row[RuleRecord::NRSEQCONSISTE] =
                    kvr::server::RuleRepository::formatNumber(number++);
                row[RuleRecord::CDFISCOPER] = code;
                row[RuleRecord::CDSITUTRIB] = cst;
                row[RuleRecord::CDFISCAL] = fiscal;
                rules.insert(row);
                ++made;
            }
    return made;
}
