#pragma once

#include <QByteArray>
#include <QString>

namespace kvr::server {

// Salted, memory-hard password hashes (Argon2id through libsodium's
// crypto_pwhash_str): the stored text carries its own salt and costs, so a
// stolen table is no list of passwords.
class PasswordHash final
{
public:
    // The hash text to store; throws std::runtime_error when libsodium cannot.
    static QByteArray make(const QString &password);
    // Whether `password` matches `hash`. With an empty hash it still spends
    // the time of a real check, so an unknown user answers as slowly as a
    // wrong password.
    static bool matches(const QByteArray &hash, const QString &password);
};

} // namespace kvr::server
