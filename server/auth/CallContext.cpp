#include "server/auth/CallContext.h"

namespace kvr::server {

namespace {
thread_local const CallContext *t_current = nullptr;
} // namespace

const CallContext &CallContext::current()
{
    static const CallContext none;
    return t_current ? *t_current : none;
}

CallContext::Scope::Scope(const CallContext &context) : m_previous(t_current)
{
    t_current = &context;
}

CallContext::Scope::~Scope()
{
    t_current = m_previous;
}

} // namespace kvr::server
