#include "fiscal/ConsisteFiscalContract.h"

#include "fiscal/RuleRecord.h"

namespace kvr::fiscal {

namespace {

int flagOf(CadAutoAtualiza::Value value)
{
    return value >= CadAutoAtualiza::AtEntry ? CadAutoAtualiza::FlagCount - 1 : int(value);
}

} // namespace

void CadAutoAtualiza::set(Value value, const QString &text, bool apply)
{
    values[value] = text;
    flags[flagOf(value)] = apply;
}

std::optional<QString> CadAutoAtualiza::change(Value value) const
{
    if (!flags.at(flagOf(value)))
        return std::nullopt;
    return values.at(value);
}

void CadAutoAtualiza::applyTo(QStringList &row) const
{
    using R = RuleRecord;
    const std::pair<Value, int> fields[] = {
        {Cst, R::CDSITUTRIB},         {Cfop, R::CDFISCOPER},
        {Fiscal, R::CDFISCAL},        {TaxValueSign, R::IDTPVRIMPOSTO},
        {BaseSign, R::IDTPBASECALC},  {RateSign, R::IDTPALIQUOTA},
        {AtEntry, R::IDCONSISTELANC}, {AtApproval, R::IDCONSISTEAPRO},
    };
    for (const auto &[value, field] : fields)
        if (const std::optional<QString> text = change(value))
            row[field] = *text;
}

QList<CallInfo> ConsisteFiscalContract::describeAll()
{
    QList<CallInfo> calls;
    forEachCall<Calls>(
        [&calls](const auto &call) { calls.append(describe<std::decay_t<decltype(call)>>()); });
    return calls;
}

} // namespace kvr::fiscal
