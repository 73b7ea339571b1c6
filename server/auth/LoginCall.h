#pragma once

namespace kvr::server {

class Dispatcher;
class Storage;

// "kvr.login" [user, password] -> {"user":"NAME"}, checked against the
// accounts; anything else is refused with 1003 (the connection then closes).
class LoginCall final
{
public:
    static void bind(Dispatcher &dispatcher, Storage &storage);
};

} // namespace kvr::server
