#include "server/operate/SqliteBackup.h"

#include "server/operate/DatabaseInUse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <memory>

namespace kvr::server {

namespace {

struct CloseDatabase
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

bool open(const QString &path, int flags, Database &db, QString &problem)
{
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, flags, nullptr);
    db.reset(handle);
    if (rc != SQLITE_OK) {
        problem =
            QStringLiteral("Não foi possível abrir o banco %1: %2.")
                .arg(path, QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)));
        return false;
    }
    sqlite3_busy_timeout(handle, 60000);
    return true;
}

// The first column of the first row of `sql`, or "" with `problem` set.
QString single(sqlite3 *db, const char *sql, QString &problem)
{
    sqlite3_stmt *statement = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW)
            value = QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        else if (rc != SQLITE_DONE)
            problem = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        problem = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    return value;
}

// Copies every page of `from` into `to` in one step: one read transaction,
// so the copy is one snapshot of the source.
bool copy(sqlite3 *from, sqlite3 *to, QString &problem)
{
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        problem = QString::fromUtf8(sqlite3_errmsg(to));
        return false;
    }
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        problem = QString::fromUtf8(sqlite3_errstr(rc));
        return false;
    }
    return true;
}

} // namespace

bool SqliteBackup::backup(const QString &database, const QString &file, QString &problem)
{
    if (!QFileInfo::exists(database)) {
        problem = QStringLiteral("O banco %1 não existe.").arg(database);
        return false;
    }
    Database source;
    if (!open(database, SQLITE_OPEN_READONLY, source, problem))
        return false;
    const QFileInfo target(file);
    QTemporaryFile part(
        target.absoluteDir().filePath(target.fileName() + QStringLiteral(".parcial-XXXXXX")));
    if (!part.open()) {
        problem = QStringLiteral("Não foi possível criar a cópia em %1: %2.")
                      .arg(target.absolutePath(), part.errorString());
        return false;
    }
    part.close();
    Database copyDb;
    if (!open(part.fileName(), SQLITE_OPEN_READWRITE, copyDb, problem))
        return false;
    QString why;
    if (!copy(source.get(), copyDb.get(), why)) {
        problem = QStringLiteral("A cópia do banco %1 falhou: %2.").arg(database, why);
        return false;
    }
    // One self-contained file, whatever journal the source uses.
    single(copyDb.get(), "PRAGMA journal_mode=DELETE", why);
    copyDb.reset();
    source.reset();
    QFile::remove(file);
    if (!QFile::rename(part.fileName(), file)) {
        problem = QStringLiteral("Não foi possível gravar a cópia em %1.").arg(file);
        return false;
    }
    part.setAutoRemove(false);
    return true;
}

bool SqliteBackup::restore(const QString &database, const QString &file, QString &problem)
{
    if (!QFileInfo(file).isFile()) {
        problem = QStringLiteral("O arquivo %1 não existe.").arg(file);
        return false;
    }
    Database source;
    if (!open(file, SQLITE_OPEN_READONLY, source, problem))
        return false;
    QString why;
    const QString check = single(source.get(), "PRAGMA quick_check", why);
    const QString tables =
        single(source.get(), "SELECT count(*) FROM sqlite_master WHERE name = 'kvr_migracao'", why);
    if (check != QLatin1String("ok") || tables != QLatin1String("1")) {
        problem = QStringLiteral("O arquivo %1 não é uma cópia íntegra do banco de "
                                 "consistências%2; nada foi restaurado.")
                      .arg(file, why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
        return false;
    }
    DatabaseInUse lock;
    if (!lock.take(database, DatabaseInUse::Mode::Restoring, problem))
        return false;
    Database target;
    if (!open(database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, target, problem))
        return false;
    // The backup API writes through the target's own journal: a failed
    // restore leaves the database as it was.
    if (!copy(source.get(), target.get(), why)) {
        problem = QStringLiteral("A restauração do banco %1 falhou: %2; o banco ficou como "
                                 "estava.")
                      .arg(database, why);
        return false;
    }
    return true;
}

} // namespace kvr::server
