#include "server/rdm/RdmConsisteFiscal.h"

#include "protocol/DataPacket.h"
#include "server/rdm/AuditTrail.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/DeltaWriter.h"
#include "server/rdm/RuleDelta.h"
#include "server/rdm/RuleGenerator.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/rpc/Dispatcher.h"
#include "server/rpc/Params.h"
#include "server/storage/WriteTransaction.h"

namespace kvr::server {

using protocol::PacketWriter;
using R = RuleRecord;

namespace {

template <typename Args>
void bindCall(Dispatcher &dispatcher, RdmConsisteFiscal *rdm,
              QByteArray (RdmConsisteFiscal::*call)(const Args &))
{
    dispatcher.add(RdmConsisteFiscal::objectName(), Args::method(),
                   [rdm, call](const QString &method, const QJsonArray &values) {
                       return (rdm->*call)(Args::read(Params(method, values, Args::Count)));
                   });
}

QByteArray packet(const QList<protocol::PacketField> &fields, const QList<QStringList> &rows)
{
    PacketWriter writer(fields, rows.size());
    for (const QStringList &row : rows)
        writer.addRow(row);
    return writer.finish();
}

QByteArray affected(qint64 count)
{
    return QByteArrayLiteral("{\"affected\":") + QByteArray::number(count) + '}';
}

} // namespace

void RdmConsisteFiscal::bind(Dispatcher &dispatcher)
{
    bindCall(dispatcher, this, &RdmConsisteFiscal::getConsistencias);
    bindCall(dispatcher, this, &RdmConsisteFiscal::getImposto);
    bindCall(dispatcher, this, &RdmConsisteFiscal::getCFOP);
    bindCall(dispatcher, this, &RdmConsisteFiscal::getVdCFOP);
    bindCall(dispatcher, this, &RdmConsisteFiscal::vdCon);
    bindCall(dispatcher, this, &RdmConsisteFiscal::vdConsistencias);
    bindCall(dispatcher, this, &RdmConsisteFiscal::setConsistencia);
    bindCall(dispatcher, this, &RdmConsisteFiscal::cadAutoAtualiza);
    bindCall(dispatcher, this, &RdmConsisteFiscal::cadAutoInsere);
    bindCall(dispatcher, this, &RdmConsisteFiscal::getHistorico);
}

QByteArray RdmConsisteFiscal::getConsistencias(const GetConsistenciasArgs &args)
{
    Catalog::checkTaxCode(args.tax);
    PacketWriter writer(R::fields(), 256);
    RuleRepository(m_storage).writeOfTax(args.tax, writer);
    return writer.finish();
}

QByteArray RdmConsisteFiscal::getImposto(const GetImpostoArgs &args)
{
    RuleValidator::checkTaxFilter(args.tax, args.filter);
    return packet(Catalog::taxFields(),
                  Catalog(m_storage).taxRows(args.allTaxes() ? std::nullopt
                                                             : std::optional<QString>(args.tax)));
}

QByteArray RdmConsisteFiscal::getCFOP(const GetCfopArgs &)
{
    return packet(Catalog::cfopFields(), Catalog(m_storage).cfopRows(std::nullopt));
}

QByteArray RdmConsisteFiscal::getVdCFOP(const GetVdCfopArgs &args)
{
    RuleValidator::checkCfopCode(args.cfop);
    return packet(Catalog::cfopFields(), Catalog(m_storage).cfopRows(args.cfop));
}

QByteArray RdmConsisteFiscal::vdCon(const VdConArgs &args)
{
    Catalog::checkTaxCode(args.tax);
    RuleValidator::checkRuleNumber(args.number);
    PacketWriter writer(R::fields(), 1);
    if (const auto row = RuleRepository(m_storage).findOfTax(args.tax, args.number))
        writer.addRow(*row);
    return writer.finish();
}

QByteArray RdmConsisteFiscal::vdConsistencias(const VdConsistenciasArgs &args)
{
    RuleValidator::checkDuplicateQuery(args);
    const QString other = RuleRepository(m_storage).duplicateOf(
        args.tax, args.cfop, args.cst, RuleValidator::anyAsZero(args.fiscal), args.blocked,
        args.number);
    return other.isEmpty() ? QByteArrayLiteral("[\"OK\"]") : QByteArrayLiteral("[\"ER\"]");
}

QByteArray RdmConsisteFiscal::setConsistencia(const SetConsistenciaArgs &args)
{
    RuleValidator::checkDelta(args.delta);
    const QList<RuleChange> changes = RuleDelta::read(args.delta);
    DeltaWriter::checkEachRuleOnce(changes);

    Catalog catalog(m_storage);
    AuditTrail history(m_storage, SetConsistenciaArgs::method());
    WriteTransaction transaction(m_storage);
    DeltaWriter(m_storage, catalog).apply(changes, history);
    history.write();
    transaction.commit();
    return affected(changes.size());
}

QByteArray RdmConsisteFiscal::cadAutoAtualiza(const CadAutoAtualizaArgs &args)
{
    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    const TaxInfo &info = catalog.tax(args.tax);
    const QStringList numbers = RuleValidator::checkPicked(args);
    validator.checkChanges(info, args);

    RuleRepository rules(m_storage);
    AuditTrail history(m_storage, CadAutoAtualizaArgs::method());
    WriteTransaction transaction(m_storage);
    QList<QStringList> picked;
    if (args.byRange()) {
        picked = rules.rangeOfTax(args.tax, args.first, args.last);
    } else {
        for (const QString &number : numbers) {
            const std::optional<QStringList> row = rules.findOfTax(args.tax, number);
            RuleValidator::checkFound(number, args.tax, row.has_value());
            picked.append(*row);
        }
    }
    qint64 count = 0;
    for (const QStringList &before : std::as_const(picked)) {
        // Predefined rules are left as they are.
        if (before.at(R::IDCONSPREDEFI) != QLatin1String("N"))
            continue;
        QStringList row = before;
        args.applyTo(row);
        validator.check(row);
        const QString number = row.at(R::NRSEQCONSISTE);
        RuleValidator::checkNoDuplicate(
            number, rules.duplicateOf(args.tax, row.at(R::CDFISCOPER), row.at(R::CDSITUTRIB),
                                      row.at(R::CDFISCAL), row.at(R::IDBLOQADMI), number));
        rules.update(row);
        history.changed(before, row);
        ++count;
    }
    history.write();
    transaction.commit();
    return affected(count);
}

QByteArray RdmConsisteFiscal::cadAutoInsere(const CadAutoInsereArgs &args)
{
    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    const TaxInfo &info = catalog.tax(args.tax);
    const RuleGenerator generator(info, args);
    validator.checkGeneration(info, args, generator.blueprint());

    RuleRepository rules(m_storage);
    AuditTrail history(m_storage, CadAutoInsereArgs::method());
    WriteTransaction transaction(m_storage);
    const QStringList &blueprint = generator.blueprint();
    QList<QStringList> created = generator.rules(
        args.firstCfop.isEmpty() ? QStringList()
                                 : catalog.cfopCodesBetween(args.firstCfop, args.lastCfop),
        rules.combinationsOf(info.code, blueprint.at(R::CDFISCAL), blueprint.at(R::IDBLOQADMI)));
    rules.insertNumbered(created);
    for (const QStringList &row : std::as_const(created))
        history.created(row);
    history.write();
    transaction.commit();
    return affected(created.size());
}

QByteArray RdmConsisteFiscal::getHistorico(const GetHistoricoArgs &args)
{
    Catalog::checkTaxCode(args.tax);
    if (!args.number.isEmpty())
        RuleValidator::checkRuleNumber(args.number);
    return AuditTrail::history(m_storage, args.tax, args.number);
}

} // namespace kvr::server
