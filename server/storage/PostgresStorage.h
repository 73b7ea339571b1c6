#pragma once

#include "server/storage/Storage.h"

namespace kvr::server {

// A shared PostgreSQL database; several app servers may use it at once.
class PostgresStorage final : public Storage
{
public:
    explicit PostgresStorage(const DatabaseUrl &url) : Storage(url) {}
    void beginWrite() override;

protected:
    void configure(QSqlDatabase &db, const DatabaseUrl &url) override;
    void afterOpen() override;
};

} // namespace kvr::server
