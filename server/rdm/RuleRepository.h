#pragma once

#include "protocol/DataPacket.h"

#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace kvr::server {

class Storage;

// Reads and writes stored rules with prepared statements. Rows are full
// 18-value records (RuleRecord order); IDMARCADO is always "".
class RuleRepository final
{
public:
    explicit RuleRepository(Storage &storage) : m_storage(storage) {}

    // Appends every rule of the tax, in number order, to a packet being
    // written: straight from the query, as the largest reply has no time for
    // a copy of each row; on SQLite through its own calls on the driver's
    // connection.
    void writeOfTax(const QString &tax, protocol::PacketWriter &writer);
    std::optional<QStringList> find(const QString &number);
    std::optional<QStringList> findOfTax(const QString &tax, const QString &number);
    QList<QStringList> rangeOfTax(const QString &tax, const QString &first, const QString &last);
    // Number of another rule of the same tax with the same CFOP, CST, fiscal
    // code and blocked/admitted flag; "" when there is none.
    QString duplicateOf(const QString &tax, const QString &cfop, const QString &cst,
                        const QString &fiscal, const QString &blocked, const QString &number);
    // (CFOP, CST) of every rule of the tax with this fiscal code and flag.
    QSet<std::pair<QString, QString>> combinationsOf(const QString &tax, const QString &fiscal,
                                                     const QString &blocked);

    void update(const QStringList &row);
    void remove(const QString &number);
    void insert(const QStringList &row);
    // Inserts many rows, several per statement.
    void insertMany(const QList<QStringList> &rows);
    // Gives new rows the next rule numbers and inserts them, inside the
    // current write transaction.
    void insertNumbered(QList<QStringList> &rows);
    // Reserves `count` consecutive rule numbers inside the current write
    // transaction; returns the first.
    qint64 reserveNumbers(qint64 count);

    static QString formatNumber(qint64 number);

private:
    QStringList readRow(QSqlQuery &query) const;

    Storage &m_storage;
};

} // namespace kvr::server
