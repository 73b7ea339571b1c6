// libFuzzer target: a setConsistencia delta as the wire reads it, built as
// Qt JSON (deltaFromJson) and as the server receives it, still parsed
// (readDelta), and as the server turns it into rule records (RuleDelta).
#include "fiscal/RuleRecord.h"
#include "protocol/DataPacket.h"
#include "protocol/DeltaData.h"
#include "protocol/StrictJson.h"
#include "server/common/AppError.h"
#include "server/rdm/RuleDelta.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

using namespace kvr;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool same(const protocol::Delta &a, const protocol::Delta &b)
{
    if (a.fields != b.fields || a.changes.size() != b.changes.size())
        return false;
    for (qsizetype i = 0; i < a.changes.size(); ++i) {
        const protocol::DeltaChange &x = a.changes.at(i);
        const protocol::DeltaChange &y = b.changes.at(i);
        if (x.op != y.op || x.oldRow != y.oldRow || x.newRow != y.newRow)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!protocol::StrictJson::validate(bytes))
        return 0;
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return 0;
    const QJsonObject json = document.object();
    const protocol::DeltaData parsed = protocol::DeltaData::fromJson(bytes);
    require(parsed.part() != nullptr);

    protocol::Delta delta;
    QString problem;
    const bool ok = protocol::deltaFromJson(json, delta, problem);
    if (ok) {
        // What was read writes back to the same delta.
        protocol::Delta again;
        require(protocol::deltaFromJson(protocol::deltaToJson(delta), again, problem));
        require(same(delta, again));
    }
    // Read as parsed it says the same, to the letter, as read from Qt JSON.
    protocol::Delta fromParse;
    QString parseProblem;
    require(protocol::readDelta(parsed, fromParse, parseProblem) == ok);
    require(ok ? same(delta, fromParse) : parseProblem == problem);
    const protocol::DeltaData built(json);
    require(parsed.changeCount() == built.changeCount());
    require(parsed.hasChange("insert") == built.hasChange("insert"));

    try {
        const QList<server::RuleChange> changes = server::RuleDelta::read(parsed);
        require(changes.size() == delta.changes.size());
        for (const server::RuleChange &change : changes) {
            require(change.old.size() == fiscal::RuleRecord::FieldCount);
            require(change.remove ? change.row.isEmpty()
                                  : change.row.size() == fiscal::RuleRecord::FieldCount &&
                                        change.row.at(fiscal::RuleRecord::IDMARCADO).isEmpty());
        }
    } catch (const server::AppError &error) {
        require(error.code() == protocol::RpcError::InvalidParams && !error.message().isEmpty());
    }
    return 0;
}
