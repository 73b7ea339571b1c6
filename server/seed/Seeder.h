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
    static Outcome seed(Storage &storage);
};

} // namespace kvr::server
