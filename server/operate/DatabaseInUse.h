#pragma once

#include <QString>

namespace kvr::server {

// Tells running app servers and a restore of one SQLite database apart: each
// app server holds a shared lock on a file beside the database for as long
// as it runs, a restore an exclusive one (flock, released by the system when
// the process ends, however it ends).
class DatabaseInUse final
{
public:
    enum class Mode { Serving, Restoring };

    DatabaseInUse() = default;
    ~DatabaseInUse();
    DatabaseInUse(const DatabaseInUse &) = delete;
    DatabaseInUse &operator=(const DatabaseInUse &) = delete;

    // Takes the lock without waiting; false with a Portuguese explanation
    // when the other kind holds it (or the lock file cannot be opened).
    bool take(const QString &database, Mode mode, QString &problem);

    static QString lockFile(const QString &database);

private:
    int m_fd = -1;
};

} // namespace kvr::server
