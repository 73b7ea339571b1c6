#pragma once

#include <QString>

namespace kvr::server {

// Who makes the call being served on this thread and from where, for the
// history of changes. Set by the call pool around each call.
struct CallContext
{
    QString user; // the logged-in user; "" without a login
    QString peer; // the client's address
    bool history = true;

    // The call served on this thread now (an empty context outside calls).
    static const CallContext &current();

    // Makes `context` the current one for its lifetime.
    class Scope final
    {
    public:
        explicit Scope(const CallContext &context);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        const CallContext *m_previous;
    };
};

} // namespace kvr::server
