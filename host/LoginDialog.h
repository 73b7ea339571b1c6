#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the user and password a server wants ("Usuário", "Senha"). The
// password is never kept beyond the dialog's caller.
class LoginDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit LoginDialog(QWidget *parent = nullptr);

    void SetProblem(const QString &problem);
    void SetUser(const QString &user);
    QString User() const;
    QString Password() const;

    // The host's way to ask: remembers the user name in the settings (never
    // the password). False when the person gave up.
    static bool Ask(const QString &problem, QString &user, QString &password);

private:
    void updateOk();

    QLabel *m_problem;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QPushButton *m_ok;
};
