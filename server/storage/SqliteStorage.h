#pragma once

#include "server/storage/Storage.h"

namespace kvr::server {

// The embedded database: a SQLite file in WAL mode; writers wait for each other.
class SqliteStorage final : public Storage
{
public:
    explicit SqliteStorage(const DatabaseUrl &url) : Storage(url) {}
    void beginWrite() override;

protected:
    void configure(QSqlDatabase &db, const DatabaseUrl &url) override;
    void afterOpen() override;
};

} // namespace kvr::server
