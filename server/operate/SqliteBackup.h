#pragma once

#include <QString>

namespace kvr::server {

// Copies of an SQLite rules database through SQLite's online backup API.
// Both return false with a Portuguese explanation in `problem`.
class SqliteBackup final
{
public:
    // Copies the database at `database` into `file` as one consistent
    // snapshot, while app servers keep reading and writing it (WAL lets the
    // copy read without holding writers back). The copy is written beside
    // `file` and renamed into place, so a failed copy leaves no half file.
    static bool backup(const QString &database, const QString &file, QString &problem);
    // Puts the copy in `file` back into `database`. Refused while an app
    // server holds the database (DatabaseInUse) and for a file that is not a
    // sound copy of a rules database.
    static bool restore(const QString &database, const QString &file, QString &problem);
};

} // namespace kvr::server
