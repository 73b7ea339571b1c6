#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QString>

namespace kvr::server {

// The account commands of the command line: each does its job on the
// database and the program exits with the returned code (0 done, 1 failed).
class AccountCommands final
{
public:
    // The password from the terminal without echo (asked twice), or the
    // first line of standard input when it is not a terminal.
    static int addUser(const DatabaseUrl &database, const QString &name);
    static int removeUser(const DatabaseUrl &database, const QString &name);
    static int listUsers(const DatabaseUrl &database);
};

} // namespace kvr::server
