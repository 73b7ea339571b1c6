#include "protocol/JsonRpc.h"
#include "server/common/AppError.h"
#include "server/rpc/Dispatcher.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
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

struct Outcome
{
    const char *name;
    std::function<QByteArray()> handler;
    bool ok;
    RpcError code;
    const char *message;
};

const char *const internal = "Erro interno no servidor de aplicação.";

class DispatcherOutcome : public ::testing::TestWithParam<Outcome>
{
};

RpcResponse answer(Dispatcher &dispatcher, int id)
{
    const QByteArray reply = dispatcher.handle(kvr::protocol::encodeRequest(
        id, QStringLiteral("obj.call"), QJsonArray{QStringLiteral("x")}));
    RpcResponse response;
    QString problem;
    EXPECT_TRUE(kvr::protocol::parseResponse(reply, response, problem)) << problem.toStdString();
    return response;
}

} // namespace

TEST_P(DispatcherOutcome, EveryOutcomeIsOneReplyAndTheNextCallIsAnswered)
{
    Dispatcher dispatcher;
    const Outcome &outcome = GetParam();
    bool first = true;
    dispatcher.add(QStringLiteral("obj"), QStringLiteral("call"),
                   [&](const QString &method, const QJsonArray &params) {
                       EXPECT_EQ(method, QStringLiteral("call"));
                       EXPECT_EQ(params, QJsonArray{QStringLiteral("x")});
                       if (!first)
                           return QByteArrayLiteral("\"again\"");
                       first = false;
                       return outcome.handler();
                   });

    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
    RpcResponse response;
    EXPECT_NO_THROW(response = answer(dispatcher, 7));
    qInstallMessageHandler(previous);
    // A failed call leaves one line naming its method; a result none.
    EXPECT_EQ(logged.size(), outcome.ok ? 0 : 1) << logged.join(QLatin1Char('\n')).toStdString();
    if (!logged.isEmpty()) {
        EXPECT_TRUE(logged.first().contains(QStringLiteral("obj.call")));
    }
    EXPECT_EQ(response.id, QJsonValue(7));
    EXPECT_EQ(response.ok, outcome.ok);
    if (outcome.ok) {
        EXPECT_EQ(response.result, QJsonValue(QString::fromUtf8(outcome.message)));
    } else {
        EXPECT_EQ(response.fault.code, outcome.code);
        EXPECT_EQ(response.fault.message, QString::fromUtf8(outcome.message));
    }

    const RpcResponse next = answer(dispatcher, 8);
    EXPECT_EQ(next.id, QJsonValue(8));
    EXPECT_TRUE(next.ok);
    EXPECT_EQ(next.result, QJsonValue(QStringLiteral("again")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DispatcherOutcome,
    ::testing::Values(
        Outcome{"result", [] { return QByteArrayLiteral("\"feito\""); }, true, RpcError{}, "feito"},
        Outcome{"validation",
                []() -> QByteArray { throw AppError::validation(QStringLiteral("CST inválido")); },
                false, RpcError::Validation, "CST inválido"},
        Outcome{"params",
                []() -> QByteArray { throw AppError::params(QStringLiteral("faltam argumentos")); },
                false, RpcError::InvalidParams, "faltam argumentos"},
        Outcome{"standardException",
                []() -> QByteArray { throw std::runtime_error("internal detail"); }, false,
                RpcError::InternalError, internal},
        Outcome{"badAlloc", []() -> QByteArray { throw std::bad_alloc(); }, false,
                RpcError::InternalError, internal},
        Outcome{"integer", []() -> QByteArray { throw 42; }, false, RpcError::InternalError,
                internal},
        Outcome{"notAnException", []() -> QByteArray { throw NotAnException(); }, false,
                RpcError::InternalError, internal}),
    [](const ::testing::TestParamInfo<Outcome> &info) { return std::string(info.param.name); });
