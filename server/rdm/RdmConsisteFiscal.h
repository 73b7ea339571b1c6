#pragma once

#include "server/rdm/CallArgs.h"
#include "server/rdm/RuleValidator.h"

#include <QByteArray>
#include <QString>

namespace kvr::server {

class Dispatcher;
class Storage;

// The remote data module "kvr51400.rdmConsisteFiscal": binds the nine calls
// the rule screens make and delegates them: arguments to CallArgs, checks to
// RuleValidator, reads and writes to Catalog and RuleRepository, the rules a
// cadAutoInsere creates to RuleGenerator. Each call returns its result as
// encoded JSON and throws AppError for anything it refuses; writes happen in
// one transaction or not at all.
class RdmConsisteFiscal final
{
public:
    static QString objectName() { return QStringLiteral("kvr51400.rdmConsisteFiscal"); }

    static constexpr qsizetype MaxListRules = RuleValidator::MaxListRules;
    static constexpr qsizetype MaxDeltaChanges = RuleValidator::MaxDeltaChanges;

    explicit RdmConsisteFiscal(Storage &storage) : m_storage(storage) {}

    // Registers the calls; each reads its arguments before it runs.
    void bind(Dispatcher &dispatcher);

    QByteArray getConsistencias(const GetConsistenciasArgs &args);
    QByteArray getImposto(const GetImpostoArgs &args);
    QByteArray getCFOP(const GetCfopArgs &args);
    QByteArray getVdCFOP(const GetVdCfopArgs &args);
    QByteArray vdCon(const VdConArgs &args);
    QByteArray vdConsistencias(const VdConsistenciasArgs &args);
    QByteArray setConsistencia(const SetConsistenciaArgs &args);
    QByteArray cadAutoAtualiza(const CadAutoAtualizaArgs &args);
    QByteArray cadAutoInsere(const CadAutoInsereArgs &args);
    // The history of changes of a rule or of every rule of a tax.
    QByteArray getHistorico(const GetHistoricoArgs &args);

private:
    Storage &m_storage;
};

} // namespace kvr::server
