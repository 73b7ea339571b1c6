#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace kvr::load {

// Long enough for a large read behind a writer on a busy machine.
constexpr int AnswerTimeoutMs = 120000;

// Where the load writes. Each client creates and changes its own rules of
// one tax, on CFOPs no other client uses, so every outcome is its own to
// check; all clients edit the descriptions of one set of shared rules of
// another tax, so they meet in conflicts.
namespace Space {
inline const QString OwnTax = QStringLiteral("50");
inline const QString OwnFiscal = QStringLiteral("2");
inline const QString SharedTax = QStringLiteral("01");
inline const QString SharedFiscal = QStringLiteral("3");
inline const QString Flag = QStringLiteral("A"); // admitted, for both kinds
inline const QString SharedFirstCfop = QStringLiteral("5101");
inline const QString SharedLastCfop = QStringLiteral("5104");
inline const QString SharedFirstCst = QStringLiteral("00");
inline const QString SharedLastCst = QStringLiteral("90");
inline const QString InitialBaseSign = QStringLiteral("0");
} // namespace Space

// Fixed before the clients start; read-only while they run.
struct LoadPlan
{
    QString runTag;                      // makes every description written in the run unique
    QStringList ownCsts;                 // the CSTs of the own tax
    QStringList cfops;                   // every registered CFOP, dealt out to the clients
    QSet<QString> existing;              // "CFOP/CST" of own-kind rules there before the run
    QHash<QString, QString> sharedStart; // shared rule number -> description at the start
};

// A description edit of a shared rule, acknowledged by the server.
struct DescriptionEdit
{
    QString number;
    QString from;
    QString to;
};

// What one client saw.
struct ClientRecord
{
    QStringList ownCfops;
    QSet<QString> inserted;           // "CFOP/CST" of the own rules it created
    QHash<QString, QString> baseSign; // own rule number -> base sign last set
    std::vector<DescriptionEdit> edits;
    qint64 conflicts = 0; // 1001 on a delta: another client got there first
    std::map<QString, std::vector<qint64>> latencyUs;
    QStringList faults;
};

} // namespace kvr::load
