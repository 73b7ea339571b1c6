#include "tests/server/ServerTest.h"

#include <QSqlQuery>

using namespace kvr::test;

namespace {

// kvr-appserver with an account command on the test's database.
ServerProcess::Run runCommand(const QString &dbUrl, const QString &args, const QByteArray &input)
{
    return ServerProcess::runOnce(QStringList{QStringLiteral("--db"), dbUrl} +
                                      args.split(QLatin1Char(' '), Qt::SkipEmptyParts),
                                  input);
}

class Accounts : public ServerTest
{
};

} // namespace

TEST_P(Accounts, CommandsKeepAccountsInTheDatabase)
{
    const struct
    {
        const char *args;
        const char *input;
        int exitCode;
        const char *output;
    } steps[] = {
        {"--add-user maria", "segredo-da-maria\n", 0, "Usuário maria criado."},
        {"--add-user maria", "outra\n", 1, "O usuário maria já existe."},
        {"--add-user jose.silva", "senha do jose\n", 0, "Usuário jose.silva criado."},
        {"--add-user ana/b", "x\n", 1, "Nome de usuário inválido"},
        {"--add-user ana", "\n", 1, "Senha vazia"},
        {"--add-user ana", "", 1, "Senha vazia"},
        {"--list-users", "", 0, "jose.silva\nmaria\n"},
        {"--remove-user jose.silva", "", 0, "Usuário jose.silva removido."},
        {"--remove-user jose.silva", "", 1, "O usuário jose.silva não existe."},
        {"--list-users", "", 0, "maria\n"},
        {"--list-users --remove-user maria", "", 2, "Use só uma de"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.args);
        const ServerProcess::Run outcome =
            runCommand(m_db->url(), QString::fromUtf8(step.args), step.input);
        EXPECT_EQ(outcome.exitCode, step.exitCode) << outcome.output.toStdString();
        EXPECT_TRUE(outcome.output.contains(QString::fromUtf8(step.output)))
            << outcome.output.toStdString();
        EXPECT_FALSE(outcome.output.contains(QLatin1String("segredo")));
    }
    QSqlQuery stored(m_db->direct());
    ASSERT_TRUE(stored.exec(QStringLiteral("SELECT nmusuario, dshash FROM usuario")));
    ASSERT_TRUE(stored.next());
    EXPECT_EQ(stored.value(0).toString(), QStringLiteral("maria"));
    EXPECT_TRUE(stored.value(1).toString().startsWith(QLatin1String("$argon2id$")));
    EXPECT_FALSE(stored.value(1).toString().contains(QLatin1String("segredo")));
    EXPECT_FALSE(stored.next());
}

KVR_ON_BOTH_BACKENDS(Accounts);
