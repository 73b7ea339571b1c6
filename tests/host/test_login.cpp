// Logging in to a server started with --login: the login window, the
// session's user in the status bar, and asking again after a refusal.
#include "host/LoginDialog.h"
#include "host/MainWindow.h"
#include "kit/core/Errors.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "kit/net/TSessionLogin.h"
#include "tests/common/ServerProcess.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Answer
{
    const char *user;
    const char *password;
    bool enter;               // false: Cancelar
    const char *problemShown; // part of the text above the fields
};

// Answers each login window that opens with the next answer, recording
// what it showed.
class LoginAnswers final
{
public:
    explicit LoginAnswers(QList<Answer> answers) : m_answers(std::move(answers))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start();
    }
    QStringList problems;
    QStringList usersOffered;

private:
    void answer()
    {
        auto *dialog = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || m_answers.isEmpty())
            return;
        const Answer next = m_answers.takeFirst();
        problems.append(dialog->findChild<QLabel *>(QStringLiteral("lblProblema"))->text());
        auto *user = dialog->findChild<QLineEdit *>(QStringLiteral("edtUsuario"));
        usersOffered.append(user->text());
        user->setText(QString::fromUtf8(next.user));
        dialog->findChild<QLineEdit *>(QStringLiteral("edtSenha"))
            ->setText(QString::fromUtf8(next.password));
        dialog
            ->findChild<QPushButton *>(next.enter ? QStringLiteral("btnEntrar")
                                                  : QStringLiteral("btnCancelar"))
            ->click();
    }
    QList<Answer> m_answers;
    QTimer m_timer;
};

} // namespace

TEST(Login, TheClientAsksForUserAndPasswordWhenTheServerWantsThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("kvr.db"));
    ASSERT_EQ(
        kvr::test::ServerProcess::runOnce(
            {QStringLiteral("--db"), db, QStringLiteral("--add-user"), QStringLiteral("maria")},
            "segredo\n")
            .exitCode,
        0);
    kvr::test::ServerProcess server;
    ASSERT_TRUE(server.start(db, {QStringLiteral("--seed"), QStringLiteral("--login")}))
        << server.errorText().toStdString();
    SetWebAddress(QStringLiteral("127.0.0.1"), server.port());
    TSessionLogin::Instance().Ask = &LoginDialog::Ask;
    MainWindow window;
    window.show();

    const struct
    {
        const char *name;
        QList<Answer> answers;
        bool served;
        const char *error; // part of the call's failure when not served
    } sessions[] = {
        {"wrong password, then the right one",
         {{"maria", "errada", true, "exige usuário e senha"},
          {"maria", "segredo", true, "Usuário ou senha inválidos."}},
         true,
         nullptr},
        {"given up",
         {{"maria", "", false, "exige usuário e senha"}},
         false,
         "é preciso entrar com usuário e senha"},
    };
    for (const auto &session : sessions) {
        SCOPED_TRACE(session.name);
        TSessionLogin::Instance().Forget();
        LoginAnswers answers(session.answers);
        TNetConnection connection;
        connection.SetHost(QStringLiteral("127.0.0.1"));
        connection.SetPort(server.port());
        connection.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
        const QVariant result = connection.Call(QStringLiteral("getCFOP"));
        ASSERT_EQ(answers.problems.size(), session.answers.size());
        for (qsizetype i = 0; i < answers.problems.size(); ++i)
            EXPECT_TRUE(answers.problems.at(i).contains(
                QString::fromUtf8(session.answers.at(i).problemShown)))
                << answers.problems.at(i).toStdString();
        const bool failed = result.canConvert<TServerError>();
        EXPECT_EQ(!failed, session.served);
        if (session.error) {
            EXPECT_TRUE(
                result.value<TServerError>().message.contains(QString::fromUtf8(session.error)));
        }
    }
    // The user, never the password, is remembered and offered next time;
    // the status bar names who is logged in.
    EXPECT_EQ(TSessionLogin::Instance().LoggedUser(), QStringLiteral("maria"));
    EXPECT_TRUE(window.findChild<QLabel *>(QStringLiteral("lblServidor"))
                    ->text()
                    .contains(QStringLiteral("Usuário: maria")));
    QSettings settings;
    EXPECT_EQ(settings.value(QStringLiteral("connection/user")).toString(),
              QStringLiteral("maria"));
    for (const QString &key : settings.allKeys())
        EXPECT_NE(settings.value(key).toString(), QStringLiteral("segredo")) << key.toStdString();

    // A reconnect logs in again without asking.
    TSessionLogin::Instance().Forget();
    LoginAnswers once({{"maria", "segredo", true, ""}});
    TNetConnection connection;
    connection.SetHost(QStringLiteral("127.0.0.1"));
    connection.SetPort(server.port());
    connection.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
    EXPECT_FALSE(connection.Call(QStringLiteral("getCFOP")).canConvert<TServerError>());
    EXPECT_EQ(once.usersOffered, QStringList{QStringLiteral("maria")});
    connection.Close();
    EXPECT_FALSE(connection.Call(QStringLiteral("getCFOP")).canConvert<TServerError>());
    EXPECT_EQ(once.problems.size(), 1);
}
