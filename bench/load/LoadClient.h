#pragma once

#include "bench/load/LoadPlan.h"
#include "protocol/DataPacket.h"
#include "tests/common/RpcClient.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QStringList>

#include <memory>

namespace kvr::load {

// One simulated user on its own connection: a mix of reads and writes until
// a deadline, every acknowledged change noted in its record.
class LoadClient final
{
public:
    LoadClient(int index, const LoadPlan &plan, QStringList ownCfops);

    void run(const QString &host, quint16 port, const QDeadlineTimer &deadline);
    const ClientRecord &record() const { return m_record; }

private:
    protocol::RpcResponse timed(const QString &method, const QJsonArray &params);
    // Notes an unexpected answer as a fault; a lost connection ends the run.
    bool expect(const protocol::RpcResponse &response, const QString &method);

    void readTax();
    void readCfop();
    // The rules of `tax` in record order; false (the client then stops) when
    // they cannot be read.
    bool readRules(const QString &tax, protocol::DataPacket &packet);
    void loadShared();
    void editShared();
    void insertOwn();
    void loadOwn();
    void updateOwn();

    int m_index;
    const LoadPlan &m_plan;
    ClientRecord m_record;
    std::unique_ptr<test::RpcClient> m_rpc; // made on the thread that runs the client
    QRandomGenerator m_random;
    bool m_broken = false;

    QHash<QString, QStringList> m_shared; // number -> row as last loaded
    qint64 m_editCount = 0;

    qsizetype m_nextCombo = 0; // over ownCfops x ownCsts
    QStringList m_ownNumbers;
    int m_insertedSinceLoad = 0;
};

} // namespace kvr::load
