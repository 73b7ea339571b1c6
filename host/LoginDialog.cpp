#include "host/LoginDialog.h"

#include "kit/core/MainForm.h"

#include <QDialogButtonBox>
#include <QMainWindow>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QVBoxLayout>

namespace {
const QString UserSetting = QStringLiteral("connection/user");
} // namespace

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent), m_problem(new QLabel(this)), m_user(new QLineEdit(this)),
      m_password(new QLineEdit(this))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Entrar no servidor de aplicação"));
    m_problem->setObjectName(QStringLiteral("lblProblema"));
    m_problem->setWordWrap(true);
    m_user->setObjectName(QStringLiteral("edtUsuario"));
    m_user->setMaxLength(64);
    m_password->setObjectName(QStringLiteral("edtSenha"));
    m_password->setEchoMode(QLineEdit::Password);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Usuário"), m_user);
    fields->addRow(QStringLiteral("&Senha"), m_password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("btnEntrar"));
    m_ok->setText(QStringLiteral("&Entrar"));
    QPushButton *cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    cancel->setText(QStringLiteral("&Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_user, &QLineEdit::textChanged, this, &LoginDialog::updateOk);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_problem);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    updateOk();
}

void LoginDialog::SetProblem(const QString &problem)
{
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
}

void LoginDialog::SetUser(const QString &user)
{
    m_user->setText(user);
    (user.isEmpty() ? m_user : m_password)->setFocus();
}

QString LoginDialog::User() const
{
    return m_user->text().trimmed();
}

QString LoginDialog::Password() const
{
    return m_password->text();
}

void LoginDialog::updateOk()
{
    m_ok->setEnabled(!User().isEmpty());
}

bool LoginDialog::Ask(const QString &problem, QString &user, QString &password)
{
    QSettings settings;
    LoginDialog dialog(MainForm());
    dialog.SetProblem(problem);
    dialog.SetUser(user.isEmpty() ? settings.value(UserSetting).toString() : user);
    // A call waiting for the login shows the busy pointer; typing needs the arrow.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    if (dialog.exec() != QDialog::Accepted)
        return false;
    user = dialog.User();
    password = dialog.Password();
    settings.setValue(UserSetting, user);
    return true;
}
