#include "server/rdm/RuleGenerator.h"

#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleValidator.h"
#include "server/rdm/TaxInfo.h"

namespace kvr::server {

using R = RuleRecord;

RuleGenerator::RuleGenerator(const TaxInfo &tax, const fiscal::CadAutoInsere &args)
    : m_blueprint(R::blankRow()), m_anyCfop(args.firstCfop.isEmpty())
{
    m_blueprint[R::CDIMPOSTO] = tax.code;
    m_blueprint[R::IDCONSATIVA] = QStringLiteral("S");
    m_blueprint[R::IDENTRSAIDOP] = QStringLiteral("T");
    m_blueprint[R::CDFISCAL] = RuleValidator::anyAsZero(args.fiscal);
    m_blueprint[R::IDTPBASECALC] = RuleValidator::anyAsZero(args.baseSign);
    m_blueprint[R::IDTPALIQUOTA] = RuleValidator::anyAsZero(args.rateSign);
    m_blueprint[R::IDTPVRIMPOSTO] = RuleValidator::anyAsZero(args.taxValueSign);
    m_blueprint[R::IDCONSISTELANC] = args.atEntry;
    m_blueprint[R::IDCONSISTEAPRO] = args.atApproval;
    m_blueprint[R::IDBLOQADMI] = args.blocked;
    m_blueprint[R::IDCONSPREDEFI] = QStringLiteral("N");

    if (args.firstCst.isEmpty()) {
        m_csts.append(QString());
    } else {
        for (const QString &cst : tax.csts)
            if (cst >= args.firstCst && cst <= args.lastCst)
                m_csts.append(cst);
    }
}

QList<QStringList> RuleGenerator::rules(const QStringList &cfops,
                                        const QSet<Combination> &existing) const
{
    static const QStringList anyCfop = {QString()};
    QList<QStringList> rows;
    QStringList row = m_blueprint;
    for (const QString &cfop : m_anyCfop ? anyCfop : cfops) {
        for (const QString &cst : m_csts) {
            if (existing.contains({cfop, cst}))
                continue;
            row[R::CDFISCOPER] = cfop;
            row[R::CDSITUTRIB] = cst;
            rows.append(row);
        }
    }
    return rows;
}

} // namespace kvr::server
