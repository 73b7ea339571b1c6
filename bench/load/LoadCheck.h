#pragma once

#include "bench/load/LoadPlan.h"
#include "protocol/DataPacket.h"

#include <QStringList>

#include <vector>

namespace kvr::load {

// Compares what the clients were told against a fresh read of the rules:
// every acknowledged change must be there once, nothing else may be.
class LoadCheck final
{
public:
    LoadCheck(const LoadPlan &plan, const std::vector<const ClientRecord *> &records)
        : m_plan(plan), m_records(records)
    {
    }

    // The rules of the own tax and of the shared tax after the run; returns
    // one line per problem found, empty when all is as acknowledged.
    QStringList check(const protocol::DataPacket &own, const protocol::DataPacket &shared) const;

private:
    void checkOwn(const protocol::DataPacket &own, QStringList &problems) const;
    void checkShared(const protocol::DataPacket &shared, QStringList &problems) const;

    const LoadPlan &m_plan;
    std::vector<const ClientRecord *> m_records;
};

} // namespace kvr::load
