#pragma once

#include "server/rdm/TaxInfo.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

class QSqlQuery;

namespace kvr::server {

class Storage;

// Reference data lookups (taxes, CFOPs, CSTs) for the length of one call.
class Catalog final
{
public:
    explicit Catalog(Storage &storage) : m_storage(storage) {}

    // The registered tax; throws a Portuguese validation error when the code is
    // empty, malformed or not registered.
    const TaxInfo &tax(const QString &code);
    bool cfopExists(const QString &code);

    // TaxRecord rows: every tax in code order, or only the one given
    // (none when it is not registered).
    QList<QStringList> taxRows(const std::optional<QString> &onlyCode);
    // CfopRecord rows: every CFOP in code order, or only the one given.
    QList<QStringList> cfopRows(const std::optional<QString> &onlyCode);
    // The well-formed (4-digit) registered CFOP codes in [first, last], in order.
    QStringList cfopCodesBetween(const QString &first, const QString &last);

    static bool isDigits(const QString &text, int width);
    // Throws unless `code` is a two-digit tax code.
    static void checkTaxCode(const QString &code);

private:
    QList<QStringList> readRows(QSqlQuery &query, int columns);

    Storage &m_storage;
    std::map<QString, TaxInfo> m_taxes; // stable references for callers
    QHash<QString, bool> m_cfops;
};

} // namespace kvr::server
