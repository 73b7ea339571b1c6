#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kvr::test {

enum class Backend { Sqlite, Postgres };

// A fresh, empty database of one backend for one test: a file in a temporary
// folder, or a database on the PostgreSQL cluster named by KVR_TEST_PG_URL.
// On PostgreSQL one database per test program is emptied for each test
// (creating a database costs far more than dropping a few tables) and dropped
// when the program ends; a second database at once gets its own.
class TestDatabase final
{
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // Why this backend cannot be tested here, or "" when it can.
    static QString unavailableReason(Backend backend);
    // Creates the database; false with errorText() on failure.
    bool create();
    QString url() const { return m_url; }
    QString errorText() const { return m_error; }
    // A direct connection to the database, for checks the wire cannot make.
    QSqlDatabase direct();

private:
    bool createPostgres(const QString &name);
    bool emptyPostgres(const QString &name);

    Backend m_backend;
    QTemporaryDir m_dir;
    QString m_url;
    QString m_name;
    QString m_error;
    QString m_directName;
    bool m_holdsShared = false;
};

} // namespace kvr::test
