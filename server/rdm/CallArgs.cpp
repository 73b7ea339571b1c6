#include "server/rdm/CallArgs.h"

#include "server/rdm/RuleRecord.h"
#include "server/rpc/Params.h"

namespace kvr::server {

GetConsistenciasArgs GetConsistenciasArgs::read(const Params &params)
{
    return {params.text(0)};
}

GetImpostoArgs GetImpostoArgs::read(const Params &params)
{
    GetImpostoArgs args;
    args.tax = params.text(0);
    args.filter = params.text(1);
    return args;
}

GetCfopArgs GetCfopArgs::read(const Params &)
{
    return {};
}

GetVdCfopArgs GetVdCfopArgs::read(const Params &params)
{
    return {params.text(0)};
}

VdConArgs VdConArgs::read(const Params &params)
{
    VdConArgs args;
    args.tax = params.text(0);
    args.number = params.text(1);
    return args;
}

VdConsistenciasArgs VdConsistenciasArgs::read(const Params &params)
{
    VdConsistenciasArgs args;
    args.tax = params.text(0);
    args.cfop = params.text(1);
    args.cst = params.text(2);
    args.fiscal = params.text(3);
    args.blocked = params.text(4);
    args.number = params.text(5);
    return args;
}

SetConsistenciaArgs SetConsistenciaArgs::read(const Params &params)
{
    return {params.object(0)};
}

CadAutoAtualizaArgs CadAutoAtualizaArgs::read(const Params &params)
{
    CadAutoAtualizaArgs args;
    args.tax = params.text(0);
    args.first = params.text(1);
    args.last = params.text(2);
    args.list = params.text(3);
    // Seven flags choose among eight values: the last flag sets both checks.
    const QList<bool> flags = params.flags(4, 7);
    const QStringList values = params.texts(5, 8);
    const auto value = [&](int i) {
        return flags.at(i) ? std::optional<QString>(values.at(i)) : std::nullopt;
    };
    args.cst = value(0);
    args.cfop = value(1);
    args.fiscal = value(2);
    args.taxValueSign = value(3);
    args.baseSign = value(4);
    args.rateSign = value(5);
    args.checksAtEntry = value(6);
    if (flags.at(6))
        args.checksAtApproval = values.at(7);
    return args;
}

void CadAutoAtualizaArgs::applyTo(QStringList &row) const
{
    using R = RuleRecord;
    const std::pair<const std::optional<QString> &, int> changes[] = {
        {cst, R::CDSITUTRIB},
        {cfop, R::CDFISCOPER},
        {fiscal, R::CDFISCAL},
        {taxValueSign, R::IDTPVRIMPOSTO},
        {baseSign, R::IDTPBASECALC},
        {rateSign, R::IDTPALIQUOTA},
        {checksAtEntry, R::IDCONSISTELANC},
        {checksAtApproval, R::IDCONSISTEAPRO},
    };
    for (const auto &[value, field] : changes)
        if (value)
            row[field] = *value;
}

CadAutoInsereArgs CadAutoInsereArgs::read(const Params &params)
{
    CadAutoInsereArgs args;
    QString *const fields[] = {&args.tax,          &args.firstCst, &args.lastCst,
                               &args.firstCfop,    &args.lastCfop, &args.baseSign,
                               &args.taxValueSign, &args.rateSign, &args.atEntry,
                               &args.atApproval,   &args.fiscal,   &args.blocked};
    static_assert(std::size(fields) == Count);
    for (int i = 0; i < Count; ++i)
        *fields[i] = params.text(i);
    return args;
}

GetHistoricoArgs GetHistoricoArgs::read(const Params &params)
{
    GetHistoricoArgs args;
    args.tax = params.text(0);
    args.number = params.text(1);
    return args;
}

} // namespace kvr::server
