#include "protocol/JsonRpc.h"
#include "server/common/AppError.h"
#include "server/rpc/Dispatcher.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;
using kvr::server::AppError;
using kvr::server::Dispatcher;

namespace {

QStringList logged;

void keepMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged.append(message);
}

struct NotAnException
{
};

RpcResponse answer(Dispatcher &dispatcher, int id)
{
    kvr::server::WarningLimiter warnings;
    const QByteArray reply =
        dispatcher.handle(kvr::protocol::encodeRequest(id, QStringLiteral("obj.call"),
                                                       QJsonArray{QStringLiteral("x")}),
                          warnings);
    RpcResponse response;
    QString problem;
    EXPECT_TRUE(kvr::protocol::parseResponse(reply, response, problem)) << problem.toStdString();
    return response;
}

} // namespace

TEST(Dispatcher, EveryOutcomeIsOneReplyAndTheNextCallIsAnswered)
{
    const char *const internal = "Erro interno no servidor de aplicação.";
    const struct
    {
        const char *name;
        QByteArray (*handler)();
        bool ok;
        RpcError code;
        const char *message;
    } cases[] = {
        {"result", [] { return QByteArrayLiteral("\"feito\""); }, true, RpcError{}, "feito"},
        {"validation", []() -> QByteArray { throw AppError::validation("CST inválido"); }, false,
         RpcError::Validation, "CST inválido"},
        {"params", []() -> QByteArray { throw AppError::params("faltam argumentos"); }, false,
         RpcError::InvalidParams, "faltam argumentos"},
        {"standardException", []() -> QByteArray { throw std::runtime_error("internal detail"); },
         false, RpcError::InternalError, internal},
        {"badAlloc", []() -> QByteArray { throw std::bad_alloc(); }, false, RpcError::InternalError,
         internal},
        {"integer", []() -> QByteArray { throw 42; }, false, RpcError::InternalError, internal},
        {"notAnException", []() -> QByteArray { throw NotAnException(); }, false,
         RpcError::InternalError, internal},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Dispatcher dispatcher;
        bool first = true;
        dispatcher.add(QStringLiteral("obj"), QStringLiteral("call"),
                       [&](const QString &method, const kvr::protocol::RequestParams &params) {
                           EXPECT_EQ(method, QStringLiteral("call"));
                           EXPECT_EQ(params.toJsonArray(), QJsonArray{QStringLiteral("x")});
                           if (!first)
                               return QByteArrayLiteral("\"again\"");
                           first = false;
                           return c.handler();
                       });
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        RpcResponse response;
        EXPECT_NO_THROW(response = answer(dispatcher, 7));
        qInstallMessageHandler(previous);
        // A failed call leaves one line naming its method; a result none.
        ASSERT_EQ(logged.size(), c.ok ? 0 : 1) << logged.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(c.ok || logged.first().contains(QStringLiteral("obj.call")));
        EXPECT_EQ(response.id, QJsonValue(7));
        EXPECT_EQ(response.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(response.result, QJsonValue(QString::fromUtf8(c.message)));
        } else {
            EXPECT_EQ(response.fault.code, c.code);
            EXPECT_EQ(response.fault.message, QString::fromUtf8(c.message));
        }

        const RpcResponse next = answer(dispatcher, 8);
        EXPECT_EQ(next.id, QJsonValue(8));
        EXPECT_TRUE(next.ok);
        EXPECT_EQ(next.result, QJsonValue(QStringLiteral("again")));
    }
}
