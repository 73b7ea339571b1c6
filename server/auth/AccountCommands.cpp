#include "server/auth/AccountCommands.h"

#include "server/auth/AccountStore.h"
#include "server/common/AppError.h"
#include "server/storage/Migrations.h"
#include "server/storage/Storage.h"

#include <QScopeGuard>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

namespace kvr::server {

namespace {

void say(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// One line of standard input; on a terminal with a prompt and without echo.
bool readSecret(const QString &prompt, QString &secret)
{
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const auto restore = qScopeGuard([&] {
        if (terminal) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
            std::fputc('\n', stderr);
        }
    });
    std::string line;
    if (!std::getline(std::cin, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    secret = QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
    return true;
}

// Runs `job` on a migrated database; database failures become a message.
int withAccounts(const DatabaseUrl &database, const std::function<int(AccountStore &)> &job)
{
    try {
        std::unique_ptr<Storage> storage = Storage::open(database);
        Migrations::apply(*storage);
        AccountStore accounts(*storage);
        return job(accounts);
    } catch (const AppError &error) {
        say(stderr, error.detail());
    } catch (const std::exception &error) {
        say(stderr, QString::fromLocal8Bit(error.what()));
    }
    return 1;
}

} // namespace

int AccountCommands::addUser(const DatabaseUrl &database, const QString &name)
{
    const QString problem = AccountStore::nameProblem(name);
    if (!problem.isEmpty()) {
        say(stderr, problem);
        return 1;
    }
    QString password;
    if (!readSecret(QStringLiteral("Senha de %1: ").arg(name), password) || password.isEmpty()) {
        say(stderr, QStringLiteral("Senha vazia; o usuário não foi criado."));
        return 1;
    }
    if (::isatty(STDIN_FILENO)) {
        QString again;
        if (!readSecret(QStringLiteral("Repita a senha: "), again) || again != password) {
            say(stderr, QStringLiteral("As senhas não conferem; o usuário não foi criado."));
            return 1;
        }
    }
    return withAccounts(database, [&](AccountStore &accounts) {
        if (!accounts.add(name, password)) {
            say(stderr, QStringLiteral("O usuário %1 já existe.").arg(name));
            return 1;
        }
        say(stderr, QStringLiteral("Usuário %1 criado.").arg(name));
        return 0;
    });
}

int AccountCommands::removeUser(const DatabaseUrl &database, const QString &name)
{
    return withAccounts(database, [&](AccountStore &accounts) {
        if (!accounts.remove(name)) {
            say(stderr, QStringLiteral("O usuário %1 não existe.").arg(name.left(64)));
            return 1;
        }
        say(stderr, QStringLiteral("Usuário %1 removido.").arg(name));
        return 0;
    });
}

int AccountCommands::listUsers(const DatabaseUrl &database)
{
    return withAccounts(database, [](AccountStore &accounts) {
        for (const QString &name : accounts.names())
            say(stdout, name);
        return 0;
    });
}

} // namespace kvr::server
