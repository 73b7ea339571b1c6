#pragma once

#include <QString>

namespace kvr::server {

class Storage;

// Loads the reference data (taxes, CFOPs, CSTs) and a few example rules per
// tax into an empty database, in one transaction.
class Seeder final
{
public:
    enum class Outcome { Seeded, AlreadyHasData };
    // `cfopTable`: a CSV file (header, then CODE;DESCRIPTION lines) instead
    // of the table built into the program.
    static Outcome seed(Storage &storage, const QString &cfopTable = QString());
};

} // namespace kvr::server
