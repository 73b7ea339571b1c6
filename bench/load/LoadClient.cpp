#include "bench/load/LoadClient.h"

#include "fiscal/RuleRecord.h"

#include <QElapsedTimer>
#include <QJsonObject>

namespace kvr::load {

using protocol::RpcError;
using protocol::RpcResponse;
using R = fiscal::RuleRecord;

namespace {

qint64 affected(const RpcResponse &response)
{
    return response.result.toObject().value(QLatin1String("affected")).toInteger(-1);
}

// Own rules learnt by number are refreshed after this many inserts: reading
// the whole own tax is the heaviest call of the mix.
constexpr int RefreshAfterInserts = 100;

} // namespace

LoadClient::LoadClient(int index, const LoadPlan &plan, QStringList ownCfops)
    : m_index(index), m_plan(plan), m_random(static_cast<quint32>(index * 7919 + 17))
{
    m_record.ownCfops = std::move(ownCfops);
}

void LoadClient::run(const QString &host, quint16 port, const QDeadlineTimer &deadline)
{
    m_rpc = std::make_unique<test::RpcClient>();
    m_rpc->setTimeoutMs(AnswerTimeoutMs);
    if (!m_rpc->connectTo(port, host)) {
        m_record.faults.append(
            QStringLiteral("client %1: cannot connect: %2").arg(m_index).arg(m_rpc->errorText()));
        m_rpc.reset();
        return;
    }
    while (!m_broken && !deadline.hasExpired()) {
        const int pick = static_cast<int>(m_random.bounded(100));
        if (pick < 20)
            readTax();
        else if (pick < 40)
            readCfop();
        else if (pick < 52)
            loadShared();
        else if (pick < 70)
            editShared();
        else if (pick < 85)
            insertOwn();
        else
            updateOwn();
    }
    m_rpc.reset();
}

RpcResponse LoadClient::timed(const QString &method, const QJsonArray &params)
{
    QElapsedTimer timer;
    timer.start();
    RpcResponse response = m_rpc->call(method, params);
    m_record.latencyUs[method].push_back(timer.nsecsElapsed() / 1000);
    return response;
}

bool LoadClient::expect(const RpcResponse &response, const QString &method)
{
    if (response.ok)
        return true;
    m_record.faults.append(QStringLiteral("client %1: %2 failed with %3: %4")
                               .arg(m_index)
                               .arg(method)
                               .arg(static_cast<int>(response.fault.code))
                               .arg(response.fault.message));
    if (response.fault.code == RpcError::Transport)
        m_broken = true;
    return false;
}

void LoadClient::readTax()
{
    const bool all = m_random.bounded(2) == 0;
    const QString method = QStringLiteral("getImposto");
    expect(
        timed(method, {all ? QString() : Space::SharedTax, all ? QStringLiteral("T") : QString()}),
        method);
}

void LoadClient::readCfop()
{
    const QString method = QStringLiteral("getVdCFOP");
    const QString cfop = m_plan.cfops.at(m_random.bounded(m_plan.cfops.size()));
    const RpcResponse response = timed(method, {cfop});
    if (expect(response, method) &&
        response.result.toObject().value(QLatin1String("rows")).toArray().size() != 1)
        m_record.faults.append(
            QStringLiteral("client %1: getVdCFOP did not find CFOP %2").arg(m_index).arg(cfop));
}

bool LoadClient::readRules(const QString &tax, protocol::DataPacket &packet)
{
    const QString method = QStringLiteral("getConsistencias");
    const RpcResponse response = timed(method, {tax});
    if (!expect(response, method))
        return false;
    QString problem;
    if (!protocol::packetFromJson(response.result.toObject(), packet, problem) ||
        packet.fields != R::fields()) {
        m_record.faults.append(QStringLiteral("client %1: unreadable rules").arg(m_index));
        m_broken = true;
        return false;
    }
    return true;
}

void LoadClient::loadShared()
{
    protocol::DataPacket packet;
    if (!readRules(Space::SharedTax, packet))
        return;
    m_shared.clear();
    for (const QStringList &row : packet.rows)
        if (m_plan.sharedStart.contains(row.at(R::NRSEQCONSISTE)))
            m_shared.insert(row.at(R::NRSEQCONSISTE), row);
}

void LoadClient::editShared()
{
    if (m_shared.isEmpty())
        loadShared();
    if (m_shared.isEmpty())
        return;
    const QStringList numbers = m_shared.keys();
    QStringList picked;
    const int count = 1 + static_cast<int>(m_random.bounded(3));
    while (picked.size() < std::min<qsizetype>(count, numbers.size())) {
        const QString number = numbers.at(m_random.bounded(numbers.size()));
        if (!picked.contains(number))
            picked.append(number);
    }
    // Unique in the run, so each rule's acknowledged edits form one chain.
    const QString text =
        QStringLiteral("%1 c%2 e%3").arg(m_plan.runTag).arg(m_index).arg(++m_editCount);
    protocol::Delta delta;
    delta.fields = R::fields();
    for (const QString &number : picked) {
        protocol::DeltaChange change;
        change.oldRow = m_shared.value(number);
        change.newRow = change.oldRow;
        change.newRow[R::DSCONSISTENCIA] = text;
        delta.changes.append(change);
    }
    const QString method = QStringLiteral("setConsistencia");
    const RpcResponse response = timed(method, {protocol::deltaToJson(delta)});
    if (!response.ok && response.fault.code == RpcError::Conflict) {
        ++m_record.conflicts;
        loadShared();
        return;
    }
    if (!expect(response, method))
        return;
    if (affected(response) != picked.size())
        m_record.faults.append(QStringLiteral("client %1: setConsistencia of %2 rules answered "
                                              "affected %3")
                                   .arg(m_index)
                                   .arg(picked.size())
                                   .arg(affected(response)));
    for (const protocol::DeltaChange &change : delta.changes) {
        const QString number = change.oldRow.at(R::NRSEQCONSISTE);
        m_record.edits.push_back({number, change.oldRow.at(R::DSCONSISTENCIA), text});
        m_shared.insert(number, change.newRow);
    }
}

void LoadClient::insertOwn()
{
    const qsizetype cstCount = m_plan.ownCsts.size();
    const qsizetype comboCount = m_record.ownCfops.size() * cstCount;
    QString cfop, cst;
    while (m_nextCombo < comboCount) {
        cfop = m_record.ownCfops.at(m_nextCombo / cstCount);
        cst = m_plan.ownCsts.at(m_nextCombo % cstCount);
        ++m_nextCombo;
        if (!m_plan.existing.contains(cfop + QLatin1Char('/') + cst))
            break;
        cfop.clear();
    }
    if (cfop.isEmpty()) {
        updateOwn(); // every own combination is taken
        return;
    }
    const QString method = QStringLiteral("cadAutoInsere");
    const RpcResponse response =
        timed(method, {Space::OwnTax, cst, cst, cfop, cfop, Space::InitialBaseSign,
                       QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("S"),
                       QStringLiteral("N"), Space::OwnFiscal, Space::Flag});
    if (!expect(response, method))
        return;
    if (affected(response) != 1)
        m_record.faults.append(QStringLiteral("client %1: cadAutoInsere of %2/%3 answered "
                                              "affected %4")
                                   .arg(m_index)
                                   .arg(cfop, cst)
                                   .arg(affected(response)));
    m_record.inserted.insert(cfop + QLatin1Char('/') + cst);
    ++m_insertedSinceLoad;
}

void LoadClient::loadOwn()
{
    protocol::DataPacket packet;
    if (!readRules(Space::OwnTax, packet))
        return;
    m_ownNumbers.clear();
    for (const QStringList &row : packet.rows)
        if (row.value(R::CDFISCAL) == Space::OwnFiscal && row.value(R::IDBLOQADMI) == Space::Flag &&
            m_record.inserted.contains(row.value(R::CDFISCOPER) + QLatin1Char('/') +
                                       row.value(R::CDSITUTRIB)))
            m_ownNumbers.append(row.value(R::NRSEQCONSISTE));
    m_insertedSinceLoad = 0;
}

void LoadClient::updateOwn()
{
    if (m_ownNumbers.isEmpty() || m_insertedSinceLoad >= RefreshAfterInserts)
        loadOwn();
    if (m_ownNumbers.isEmpty()) {
        if (m_nextCombo < m_record.ownCfops.size() * m_plan.ownCsts.size())
            insertOwn();
        return;
    }
    QStringList picked;
    const int count = 1 + static_cast<int>(m_random.bounded(3));
    while (picked.size() < std::min<qsizetype>(count, m_ownNumbers.size())) {
        const QString number = m_ownNumbers.at(m_random.bounded(m_ownNumbers.size()));
        if (!picked.contains(number))
            picked.append(number);
    }
    // A value none of the picked rules holds yet, so a lost change shows.
    QString sign;
    const int start = static_cast<int>(m_random.bounded(4));
    for (int k = 0; k < 4 && sign.isEmpty(); ++k) {
        const QString candidate = QString::number((start + k) % 4 + 1);
        bool held = false;
        for (const QString &number : picked)
            held = held || m_record.baseSign.value(number, Space::InitialBaseSign) == candidate;
        if (!held)
            sign = candidate;
    }
    const QString method = QStringLiteral("cadAutoAtualiza");
    // Only the base sign (the fifth flag) changes; the other values are valid but unused.
    const QJsonArray flags = {false, false, false, false, true, false, false};
    const QJsonArray values = {QStringLiteral("01"),
                               QStringLiteral("5101"),
                               QStringLiteral("1"),
                               QStringLiteral("1"),
                               sign,
                               QStringLiteral("1"),
                               QStringLiteral("S"),
                               QStringLiteral("S")};
    const RpcResponse response = timed(method, {Space::OwnTax, QString(), QString(),
                                                picked.join(QLatin1Char(',')), flags, values});
    if (!expect(response, method))
        return;
    if (affected(response) != picked.size())
        m_record.faults.append(QStringLiteral("client %1: cadAutoAtualiza of %2 rules answered "
                                              "affected %3")
                                   .arg(m_index)
                                   .arg(picked.size())
                                   .arg(affected(response)));
    for (const QString &number : picked)
        m_record.baseSign.insert(number, sign);
}

} // namespace kvr::load
