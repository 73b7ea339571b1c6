#pragma once

#include "fiscal/RuleMatch.h"
#include "fiscal/SimulationReplies.h"
#include "server/rdm/TaxInfo.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <utility>

namespace kvr::server {

class Storage;

// The rules of one tax in memory, arranged by CFOP and CST, so the
// simulation, the map and the findings are answered without reading the
// table. Immutable once built; shared by every call thread of the process.
// The database bumps a counter per tax in every write to the rules (any app
// server, any path), and `of` rebuilds an index whose counter has moved.
class RuleIndex final
{
public:
    using Stage = fiscal::RuleMatch::Stage;
    using Codes = fiscal::RuleMatch::Codes;

    // At most this many findings travel; the total counts them all.
    static constexpr int MaxFindings = 1000;

    // The current index of the tax; throws a validation error for a tax that
    // is not registered.
    static std::shared_ptr<const RuleIndex> of(Storage &storage, const QString &tax);

    const TaxInfo &tax() const { return m_tax; }
    qsizetype size() const { return m_rules.size(); }

    // The verdict and the packet of the rules that apply to the line.
    fiscal::SimulationReply::Result simulate(Stage stage, const Codes &line) const;
    // Conflicts and redundancies, computed once per index.
    fiscal::FindingsReply::Result findings() const;
    // The MapRecord packet of the CFOPs of a direction ("E" or "S") by the
    // tax's CSTs.
    QByteArray map(Stage stage, const QString &direction) const;

private:
    struct Entry
    {
        fiscal::RuleMatch::Rule rule;
        QString description;
        bool predefined = false;
    };
    using Key = std::pair<QString, QString>; // CFOP, CST; "" for any
    struct Finding
    {
        char kind;
        int rule;
        int other;
    };

    RuleIndex() = default;
    void load(Storage &storage, const QString &tax);
    QStringList rowOf(const Entry &entry) const;
    QList<Finding> computeFindings() const;

    TaxInfo m_tax;
    qint64 m_version = 0;
    QList<Entry> m_rules; // in number order
    QHash<Key, QList<int>> m_byKey;
    QStringList m_cfops; // well-formed registered CFOPs, in order

    mutable std::once_flag m_findingsOnce;
    mutable QList<Finding> m_findings;
};

} // namespace kvr::server
