#pragma once

#include <QString>
#include <QStringList>

namespace kvr::server {

class Storage;

// The user accounts, kept in the database so that every app server on it
// shares them. Only the password's hash is stored.
class AccountStore final
{
public:
    explicit AccountStore(Storage &storage) : m_storage(storage) {}

    // Letters, digits, '.', '_', '-' and '@', 1 to 64 of them; "" when `name`
    // is one, else why not (Portuguese, for the operator).
    static QString nameProblem(const QString &name);

    // False when the user already exists.
    bool add(const QString &name, const QString &password);
    // False when there was no such user.
    bool remove(const QString &name);
    QStringList names();
    // Whether the pair is right; as slow for an unknown user as for a known one.
    bool verify(const QString &name, const QString &password);

private:
    Storage &m_storage;
};

} // namespace kvr::server
