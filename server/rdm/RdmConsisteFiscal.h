#pragma once

#include "fiscal/ConsisteFiscalContract.h"
#include "server/rdm/RuleValidator.h"

#include <QByteArray>
#include <QString>

namespace kvr::server {

class Dispatcher;
class Storage;

// The remote data module "kvr51400.rdmConsisteFiscal": serves the calls of
// fiscal::ConsisteFiscalContract, one `serve` a call, and delegates them:
// checks to RuleValidator, reads and writes to Catalog and RuleRepository,
// the rules a cadAutoInsere creates to RuleGenerator. Each returns what its
// reply encodes and throws AppError for anything it refuses; writes happen in
// one transaction or not at all.
class RdmConsisteFiscal final
{
public:
    static QString objectName() { return fiscal::ConsisteFiscalContract::objectName(); }

    static constexpr qsizetype MaxListRules = RuleValidator::MaxListRules;
    static constexpr qsizetype MaxDeltaChanges = RuleValidator::MaxDeltaChanges;

    explicit RdmConsisteFiscal(Storage &storage) : m_storage(storage) {}

    // Registers every call of the contract; each reads its arguments before
    // it runs.
    void bind(Dispatcher &dispatcher);

    QByteArray serve(const fiscal::GetConsistencias &args);
    QByteArray serve(const fiscal::GetImposto &args);
    QByteArray serve(const fiscal::GetCfop &args);
    QByteArray serve(const fiscal::GetVdCfop &args);
    QByteArray serve(const fiscal::VdCon &args);
    bool serve(const fiscal::VdConsistencias &args);
    qint64 serve(const fiscal::SetConsistencia &args);
    qint64 serve(const fiscal::CadAutoAtualiza &args);
    qint64 serve(const fiscal::CadAutoInsere &args);
    // Beyond the screens' nine: rules imported from a spreadsheet (RuleImport).
    qint64 serve(const fiscal::ImportaConsistencias &args);
    // The history of changes of a rule or of every rule of a tax.
    QByteArray serve(const fiscal::GetHistorico &args);
    fiscal::SimulationReply::Result serve(const fiscal::SimulaConsistencia &args);
    fiscal::FindingsReply::Result serve(const fiscal::GetConflitos &args);
    QByteArray serve(const fiscal::GetMapa &args);

private:
    Storage &m_storage;
};

} // namespace kvr::server
