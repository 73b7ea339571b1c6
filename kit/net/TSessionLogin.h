#pragma once

#include "kit/KvrKitExport.h"

#include <QObject>
#include <QString>

#include <functional>

// The user and password of this client session, for servers that want a
// login (kvr.login). Kept in memory only, so a connection that reconnects
// logs in again without asking; the host sets Ask to its login window.
class KVRKIT_EXPORT TSessionLogin final : public QObject
{
    Q_OBJECT
public:
    static TSessionLogin &Instance();

    bool HasCredentials() const { return !m_user.isEmpty(); }
    QString User() const { return m_user; }
    QString Password() const { return m_password; }
    // The user the server accepted last; "" before any login.
    QString LoggedUser() const { return m_loggedUser; }
    void SetLoggedUser(const QString &user);
    void Forget();

    // Asks for the user and password, `problem` shown above the fields;
    // false when the person gave up (or nobody can be asked).
    bool AskFor(const QString &problem);
    // Fills `user` and `password`; returns false on cancel.
    std::function<bool(const QString &problem, QString &user, QString &password)> Ask;

Q_SIGNALS:
    void LoggedUserChanged(const QString &user);

private:
    QString m_user;
    QString m_password;
    QString m_loggedUser;
};
