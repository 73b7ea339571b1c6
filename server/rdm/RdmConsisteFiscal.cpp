#include "server/rdm/RdmConsisteFiscal.h"

#include "fiscal/CfopRecord.h"
#include "fiscal/TaxRecord.h"
#include "protocol/DataPacket.h"
#include "server/rdm/AuditTrail.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/DeltaWriter.h"
#include "server/rdm/RuleDelta.h"
#include "server/rdm/RuleGenerator.h"
#include "server/rdm/RuleImport.h"
#include "server/rdm/RuleIndex.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/rdm/SimulationArgs.h"
#include "server/rpc/CallReader.h"
#include "server/rpc/Dispatcher.h"
#include "server/storage/WriteTransaction.h"

namespace kvr::server {

using protocol::PacketWriter;
using R = RuleRecord;

namespace {

QByteArray packet(const QList<protocol::PacketField> &fields, const QList<QStringList> &rows)
{
    PacketWriter writer(fields, rows.size());
    for (const QStringList &row : rows)
        writer.addRow(row);
    return writer.finish();
}

} // namespace

void RdmConsisteFiscal::bind(Dispatcher &dispatcher)
{
    fiscal::forEachCall<fiscal::ConsisteFiscalContract::Calls>([&](const auto &tag) {
        using Call = std::decay_t<decltype(tag)>;
        dispatcher.add(objectName(), Call::name(),
                       [this](const QString &method, const protocol::RequestParams &values) {
                           return Call::Reply::encode(serve(readCall<Call>(method, values)));
                       });
    });
}

QByteArray RdmConsisteFiscal::serve(const fiscal::GetConsistencias &args)
{
    Catalog::checkTaxCode(args.tax);
    PacketWriter writer(R::fields(), 256);
    RuleRepository(m_storage).writeOfTax(args.tax, writer);
    return writer.finish();
}

QByteArray RdmConsisteFiscal::serve(const fiscal::GetImposto &args)
{
    RuleValidator::checkTaxFilter(args.tax, args.filter);
    return packet(fiscal::TaxRecord::fields(),
                  Catalog(m_storage).taxRows(args.allTaxes() ? std::nullopt
                                                             : std::optional<QString>(args.tax)));
}

QByteArray RdmConsisteFiscal::serve(const fiscal::GetCfop &)
{
    return packet(fiscal::CfopRecord::fields(), Catalog(m_storage).cfopRows(std::nullopt));
}

QByteArray RdmConsisteFiscal::serve(const fiscal::GetVdCfop &args)
{
    RuleValidator::checkCfopCode(args.cfop);
    return packet(fiscal::CfopRecord::fields(), Catalog(m_storage).cfopRows(args.cfop));
}

QByteArray RdmConsisteFiscal::serve(const fiscal::VdCon &args)
{
    Catalog::checkTaxCode(args.tax);
    RuleValidator::checkRuleNumber(args.number);
    PacketWriter writer(R::fields(), 1);
    if (const auto row = RuleRepository(m_storage).findOfTax(args.tax, args.number))
        writer.addRow(*row);
    return writer.finish();
}

bool RdmConsisteFiscal::serve(const fiscal::VdConsistencias &args)
{
    RuleValidator::checkDuplicateQuery(args);
    const QString other = RuleRepository(m_storage).duplicateOf(
        args.tax, args.cfop, args.cst, RuleValidator::anyAsZero(args.fiscal), args.blocked,
        args.number);
    return !other.isEmpty();
}

qint64 RdmConsisteFiscal::serve(const fiscal::SetConsistencia &args)
{
    RuleValidator::checkDelta(args.delta);
    const QList<RuleChange> changes = RuleDelta::read(args.delta);
    DeltaWriter::checkEachRuleOnce(changes);

    Catalog catalog(m_storage);
    AuditTrail history(m_storage, fiscal::SetConsistencia::name());
    WriteTransaction transaction(m_storage);
    DeltaWriter(m_storage, catalog).apply(changes, history);
    history.write();
    transaction.commit();
    return changes.size();
}

qint64 RdmConsisteFiscal::serve(const fiscal::CadAutoAtualiza &args)
{
    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    const TaxInfo &info = catalog.tax(args.tax);
    const QStringList numbers = RuleValidator::checkPicked(args);
    validator.checkChanges(info, args);

    RuleRepository rules(m_storage);
    AuditTrail history(m_storage, fiscal::CadAutoAtualiza::name());
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
    return count;
}

qint64 RdmConsisteFiscal::serve(const fiscal::CadAutoInsere &args)
{
    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    const TaxInfo &info = catalog.tax(args.tax);
    const RuleGenerator generator(info, args);
    validator.checkGeneration(info, args, generator.blueprint());

    RuleRepository rules(m_storage);
    AuditTrail history(m_storage, fiscal::CadAutoInsere::name());
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
    return created.size();
}

qint64 RdmConsisteFiscal::serve(const fiscal::ImportaConsistencias &args)
{
    return RuleImport(m_storage).run(args.tax, args.rules.packet);
}

QByteArray RdmConsisteFiscal::serve(const fiscal::GetHistorico &args)
{
    Catalog::checkTaxCode(args.tax);
    if (!args.number.isEmpty())
        RuleValidator::checkRuleNumber(args.number);
    return AuditTrail::history(m_storage, args.tax, args.number);
}

fiscal::SimulationReply::Result RdmConsisteFiscal::serve(const fiscal::SimulaConsistencia &args)
{
    // The arguments first, so a wrong one costs no index.
    Catalog::checkTaxCode(args.tax);
    const auto stage = SimulationArgs::stage(args.name(), args.stage);
    const auto index = RuleIndex::of(m_storage, args.tax);
    return index->simulate(stage, SimulationArgs::line(index->tax(), args));
}

fiscal::FindingsReply::Result RdmConsisteFiscal::serve(const fiscal::GetConflitos &args)
{
    return RuleIndex::of(m_storage, args.tax)->findings();
}

QByteArray RdmConsisteFiscal::serve(const fiscal::GetMapa &args)
{
    Catalog::checkTaxCode(args.tax);
    const auto stage = SimulationArgs::stage(args.name(), args.stage);
    SimulationArgs::checkDirection(args.name(), args.direction);
    return RuleIndex::of(m_storage, args.tax)->map(stage, args.direction);
}

} // namespace kvr::server
