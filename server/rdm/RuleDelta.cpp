#include "server/rdm/RuleDelta.h"

#include "protocol/DataPacket.h"
#include "protocol/DeltaData.h"
#include "server/common/AppError.h"
#include "server/rdm/RuleRecord.h"

namespace kvr::server {

using R = RuleRecord;

QList<RuleChange> RuleDelta::read(const protocol::DeltaData &data)
{
    protocol::Delta delta;
    QString problem;
    if (!protocol::readDelta(data, delta, problem))
        throw AppError::params(problem);

    QList<int> source;
    for (int f = 0; f < R::FieldCount; ++f) {
        qsizetype at = -1;
        for (qsizetype i = 0; i < delta.fields.size(); ++i)
            if (delta.fields.at(i).name == R::name(f))
                at = i;
        if (at < 0)
            throw AppError::params(
                QStringLiteral("Pacote de alterações inválido: falta o campo %1.").arg(R::name(f)));
        source.append(static_cast<int>(at));
    }
    if (delta.fields.size() != R::FieldCount)
        throw AppError::params(
            QStringLiteral("Pacote de alterações inválido: esperados os %1 campos da consistência.")
                .arg(R::FieldCount));
    const auto toRecord = [&source](const QStringList &values) {
        QStringList row;
        row.reserve(R::FieldCount);
        for (int f = 0; f < R::FieldCount; ++f)
            row.append(values.at(source.at(f)));
        return row;
    };

    QList<RuleChange> changes;
    changes.reserve(delta.changes.size());
    for (const protocol::DeltaChange &change : delta.changes) {
        RuleChange out;
        out.remove = change.op == protocol::DeltaChange::Op::Delete;
        out.old = toRecord(change.oldRow);
        if (!out.remove) {
            out.row = toRecord(change.newRow);
            out.row[R::IDMARCADO].clear();
        }
        changes.append(out);
    }
    return changes;
}

} // namespace kvr::server
