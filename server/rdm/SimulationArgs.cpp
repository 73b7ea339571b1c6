#include "server/rdm/SimulationArgs.h"

#include "protocol/DataPacket.h"
#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/rdm/Catalog.h"

namespace kvr::server {

using fiscal::RuleMatch;

namespace {

[[noreturn]] void refuse(const QString &method, const QString &what, const QString &value)
{
    throw AppError::params(QStringLiteral("Parâmetros inválidos em %1: %2 (recebido \"%3\").")
                               .arg(method, what, protocol::excerpt(value)));
}

bool oneOf(const QString &value, const char *codes)
{
    return value.size() == 1 && QLatin1String(codes).contains(value.at(0));
}

} // namespace

RuleMatch::Stage SimulationArgs::stage(const QString &method, const QString &code)
{
    if (code == QLatin1String("L"))
        return RuleMatch::Stage::Entry;
    if (code == QLatin1String("A"))
        return RuleMatch::Stage::Approval;
    refuse(method, QStringLiteral("a etapa deve ser L (lançamento) ou A (aprovação)"), code);
}

void SimulationArgs::checkDirection(const QString &method, const QString &code)
{
    if (!oneOf(code, "ES"))
        refuse(method, QStringLiteral("a operação deve ser E (entrada) ou S (saída)"), code);
}

RuleMatch::Codes SimulationArgs::line(const TaxInfo &tax, const fiscal::SimulaConsistencia &args)
{
    const QString method = fiscal::SimulaConsistencia::name();
    checkDirection(method, args.direction);
    if (!Catalog::isDigits(args.cfop, 4))
        refuse(method, QStringLiteral("o CFOP deve ter 4 dígitos"), args.cfop);
    if (!args.cst1.isEmpty() && !oneOf(args.cst1, "012345678"))
        refuse(method, QStringLiteral("o 1º dígito do CST deve ser de 0 a 8 ou vazio"), args.cst1);
    if (!args.cst.isEmpty() && !tax.hasCst(args.cst))
        refuse(method,
               tax.csts.isEmpty()
                   ? QStringLiteral("o imposto %1 não usa CST; deixe o CST vazio").arg(tax.code)
                   : QStringLiteral("o CST não é um CST do imposto %1").arg(tax.code),
               args.cst);
    if (!oneOf(args.fiscal, "123"))
        refuse(method, QStringLiteral("o código fiscal deve ser 1, 2 ou 3"), args.fiscal);
    const std::pair<const QString *, const char *> signs[] = {
        {&args.baseSign, "o sinal da base de cálculo"},
        {&args.rateSign, "o sinal da alíquota"},
        {&args.valueSign, "o sinal do valor do imposto"},
    };
    for (const auto &[value, label] : signs)
        if (!oneOf(*value, "123"))
            refuse(method,
                   QStringLiteral("%1 deve ser 1 (menor que zero), 2 (zero) ou 3 (maior que "
                                  "zero)")
                       .arg(QString::fromUtf8(label)),
                   *value);
    if (protocol::characterCount(args.credit) > 3)
        refuse(method, QStringLiteral("o tipo de crédito tem no máximo 3 caracteres"), args.credit);

    RuleMatch::Codes line;
    line[RuleMatch::Direction] = args.direction;
    line[RuleMatch::Cfop] = args.cfop;
    line[RuleMatch::Cst1] = args.cst1;
    line[RuleMatch::Cst] = args.cst;
    line[RuleMatch::Fiscal] = args.fiscal;
    line[RuleMatch::BaseSign] = args.baseSign;
    line[RuleMatch::RateSign] = args.rateSign;
    line[RuleMatch::ValueSign] = args.valueSign;
    line[RuleMatch::Credit] = args.credit;
    return line;
}

} // namespace kvr::server
