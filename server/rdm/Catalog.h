#pragma once

#include "server/rdm/TaxInfo.h"

#include <QHash>
#include <QString>

#include <map>

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

    static bool isDigits(const QString &text, int width);
    // Throws unless `code` is a two-digit tax code.
    static void checkTaxCode(const QString &code);

private:
    Storage &m_storage;
    std::map<QString, TaxInfo> m_taxes; // stable references for callers
    QHash<QString, bool> m_cfops;
};

} // namespace kvr::server
