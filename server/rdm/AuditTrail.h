#pragma once

#include "protocol/DataPacket.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace kvr::server {

class Storage;

// The history of rule changes: one row per rule a call created ("I"),
// changed ("A") or deleted ("E"), with when, who, from where, which method
// and the old and new value of every field that changed. Rows are collected
// while the call works and written by write() inside its transaction, so a
// change rolled back or refused leaves none. Nothing ever updates or deletes
// a history row.
class AuditTrail final
{
public:
    // Most rows one getHistorico returns (the newest).
    static constexpr int MaxRows = 20000;

    // `method`: the call's name as the history shows it. Records nothing
    // when the current call context turns the history off.
    AuditTrail(Storage &storage, const QString &method);

    // Full rule rows (RuleRecord order).
    void created(const QStringList &row);
    // Nothing is recorded when no field differs.
    void changed(const QStringList &before, const QStringList &after);
    void removed(const QStringList &row);
    // Writes the collected rows; call inside the write transaction.
    void write();

    // The packet of getHistorico: the rows of a tax's rule (or of all its
    // rules when `number` is ""), newest first.
    static QByteArray history(Storage &storage, const QString &tax, const QString &number);
    static const QList<protocol::PacketField> &fields();

private:
    void add(const QStringList &before, const QStringList &after, QChar operation);
    void writeSqlite(sqlite3 *db, qint64 number, const QString &when);

    struct Entry
    {
        QString tax;
        QString number;
        QChar operation;
        QString changes;
    };
    Storage &m_storage;
    QString m_method;
    bool m_enabled;
    QList<Entry> m_entries;
};

} // namespace kvr::server
