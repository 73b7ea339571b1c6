#include "server/net/CallPool.h"

#include "protocol/JsonRpc.h"
#include "server/auth/LoginCall.h"
#include "server/common/AppError.h"
#include "server/common/ServerLog.h"
#include "server/rdm/RdmConsisteFiscal.h"
#include "server/rpc/Dispatcher.h"
#include "server/storage/Storage.h"

#include <QThread>

#include <memory>

namespace kvr::server {

namespace {
QByteArray errorFor(const QByteArray &message, protocol::RpcError code, const QString &text)
{
    protocol::RpcRequest request;
    protocol::RpcFault fault;
    protocol::parseRequest(message, request, fault);
    return protocol::encodeErrorFor(request, code, text);
}
} // namespace

CallPool::CallPool(const DatabaseUrl &database, int size, bool login, bool history)
    : m_database(database), m_login(login), m_history(history)
{
    for (int i = 0; i < size; ++i) {
        QThread *thread = QThread::create([this] { serve(); });
        thread->setObjectName(QStringLiteral("kvr-call-%1").arg(i));
        m_threads.append(thread);
        thread->start();
    }
}

CallPool::~CallPool()
{
    stop();
}

void CallPool::submit(QByteArray message, CallContext caller, WarningLimiter &warnings,
                      QObject *receiver, Done done)
{
    caller.history = m_history;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_refusing) {
            m_queue.push_back(
                {std::move(message), std::move(caller), &warnings, receiver, std::move(done)});
            m_wake.notify_one();
            return;
        }
    }
    answer({message, {}, &warnings, receiver, std::move(done)},
           errorFor(message, protocol::RpcError::InternalError,
                    QStringLiteral("O servidor de aplicação está sendo desligado; a chamada não "
                                   "foi feita.")));
}

void CallPool::answer(const Job &job, const QByteArray &reply)
{
    if (!job.receiver)
        return;
    QMetaObject::invokeMethod(
        job.receiver, [done = job.done, reply] { done(reply); }, Qt::QueuedConnection);
}

bool CallPool::drain(QDeadlineTimer deadline)
{
    std::deque<Job> refused;
    std::unique_lock lock(m_mutex);
    m_refusing = true;
    refused.swap(m_queue);
    lock.unlock();
    for (const Job &job : refused)
        answer(job, errorFor(job.message, protocol::RpcError::InternalError,
                             QStringLiteral("O servidor de aplicação está sendo desligado; a "
                                            "chamada não foi feita.")));
    lock.lock();
    return m_idle.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(),
                             [this] { return m_running == 0; });
}

void CallPool::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    for (QThread *thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
    m_threads.clear();
}

void CallPool::serve()
{
    std::unique_ptr<Storage> storage;
    std::unique_ptr<RdmConsisteFiscal> rdm;
    Dispatcher dispatcher;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                break;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_running;
        }
        qCDebug(lcCalls) << "call started";
        QByteArray reply;
        if (!storage) {
            try {
                storage = Storage::open(m_database);
                rdm = std::make_unique<RdmConsisteFiscal>(*storage);
                rdm->bind(dispatcher);
                if (m_login)
                    LoginCall::bind(dispatcher, *storage);
            } catch (const AppError &error) {
                storage.reset();
                reply = errorFor(job.message, error.code(), error.message());
            }
        }
        if (storage) {
            const CallContext::Scope caller(job.caller);
            reply = dispatcher.handle(job.message, *job.warnings);
            if (storage->failedSinceLastCheck() && !storage->stillConnected()) {
                qCWarning(lcServer) << "database connection lost; reopening on the next call";
                dispatcher = Dispatcher();
                rdm.reset();
                storage.reset();
            }
        }
        job.message.clear();
        answer(job, reply);
        const std::lock_guard lock(m_mutex);
        --m_running;
        m_idle.notify_all();
    }
}

} // namespace kvr::server
