#include "kit/net/TSessionLogin.h"

TSessionLogin &TSessionLogin::Instance()
{
    static TSessionLogin login;
    return login;
}

void TSessionLogin::SetLoggedUser(const QString &user)
{
    if (user == m_loggedUser)
        return;
    m_loggedUser = user;
    Q_EMIT LoggedUserChanged(user);
}

void TSessionLogin::Forget()
{
    m_user.clear();
    m_password.clear();
}

bool TSessionLogin::AskFor(const QString &problem)
{
    QString user = m_user;
    QString password;
    if (!Ask || !Ask(problem, user, password) || user.isEmpty())
        return false;
    m_user = user;
    m_password = password;
    return true;
}
