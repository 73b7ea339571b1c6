#pragma once

namespace kvr::server {

class Storage;

// Brings the schema up to date: each numbered step runs once, in order, and is
// recorded in the migrations table. Safe when several servers start together.
class Migrations final
{
public:
    static int latestVersion();
    // Returns the version the database had before.
    static int apply(Storage &storage);
};

} // namespace kvr::server
