#pragma once

#include "fiscal/RuleRecord.h"

#include <QString>

namespace kvr::server {

// The rule record as the database stores it: the fields of the shared record
// (names, widths, order) and their columns.
class RuleRecord final : public fiscal::RuleRecord
{
public:
    // Database column of a stored field; IDMARCADO is not stored.
    static QString column(int field);
    // "c1, c2, ..." of the 17 stored fields, in record order from CDIMPOSTO.
    static const QString &storedColumns();
    // "?, ?, ..." matching storedColumns().
    static const QString &storedPlaceholders();
};

} // namespace kvr::server
