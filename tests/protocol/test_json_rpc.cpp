#include "protocol/JsonRpc.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace kvr::protocol;

TEST(JsonRpc, RequestRoundTrip)
{
    const QByteArray message =
        encodeRequest(7, QStringLiteral("kvr51400.rdmConsisteFiscal.getImposto"),
                      {QStringLiteral("01"), QString()});
    EXPECT_FALSE(message.contains('\n'));
    RpcRequest request;
    RpcFault fault;
    ASSERT_TRUE(parseRequest(message, request, fault)) << fault.message.toStdString();
    EXPECT_EQ(request.id.toInt(), 7);
    EXPECT_EQ(request.method, QStringLiteral("kvr51400.rdmConsisteFiscal.getImposto"));
    EXPECT_EQ(request.params, (QJsonArray{QStringLiteral("01"), QString()}));
}

TEST(JsonRpc, MissingParamsMeanNoArguments)
{
    RpcRequest request;
    RpcFault fault;
    ASSERT_TRUE(parseRequest(R"({"jsonrpc":"2.0","id":"x","method":"m"})", request, fault));
    EXPECT_TRUE(request.params.isEmpty());
    EXPECT_EQ(request.id.toString(), QStringLiteral("x"));
}

struct BadRequest
{
    const char *message;
    RpcError code;
    bool idKept;
};

class BadRequests : public ::testing::TestWithParam<BadRequest>
{
};

TEST_P(BadRequests, GetTheirProtocolCode)
{
    RpcRequest request;
    RpcFault fault;
    EXPECT_FALSE(parseRequest(GetParam().message, request, fault));
    EXPECT_EQ(fault.code, GetParam().code);
    EXPECT_FALSE(fault.message.isEmpty());
    EXPECT_EQ(request.id.isDouble(), GetParam().idKept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRequests,
    ::testing::Values(
        BadRequest{"{", RpcError::ParseError, false}, BadRequest{"", RpcError::ParseError, false},
        BadRequest{"42", RpcError::InvalidRequest, false},
        BadRequest{"[]", RpcError::InvalidRequest, false},
        BadRequest{R"({"id":3,"method":"m"})", RpcError::InvalidRequest, true},
        BadRequest{R"({"jsonrpc":"2.0","method":"m"})", RpcError::InvalidRequest, false},
        BadRequest{R"({"jsonrpc":"2.0","id":[1],"method":"m"})", RpcError::InvalidRequest, false},
        BadRequest{R"({"jsonrpc":"2.0","id":3})", RpcError::InvalidRequest, true},
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":5})", RpcError::InvalidRequest, true},
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":"m","params":"x"})", RpcError::InvalidParams,
                   true}));

TEST(JsonRpc, RawResultIsEmbeddedAsIs)
{
    const QByteArray message = encodeRawResult(12, R"({"affected":3})");
    RpcResponse response;
    QString problem;
    ASSERT_TRUE(parseResponse(message, response, problem));
    EXPECT_TRUE(response.ok);
    EXPECT_EQ(response.id.toInt(), 12);
    EXPECT_EQ(response.result.toObject().value(QStringLiteral("affected")).toInt(), 3);
    RpcResponse withTextId;
    ASSERT_TRUE(parseResponse(encodeRawResult(QStringLiteral("a\"b"), "[]"), withTextId, problem));
    EXPECT_EQ(withTextId.id.toString(), QStringLiteral("a\"b"));
}

TEST(JsonRpc, ErrorRoundTrip)
{
    const QByteArray message =
        encodeError(QJsonValue(), RpcError::Conflict, QStringLiteral("Recarregue."));
    const QJsonObject obj = QJsonDocument::fromJson(message).object();
    EXPECT_TRUE(obj.value(QStringLiteral("id")).isNull());
    RpcResponse response;
    QString problem;
    ASSERT_TRUE(parseResponse(message, response, problem));
    EXPECT_FALSE(response.ok);
    EXPECT_EQ(response.fault.code, RpcError::Conflict);
    EXPECT_EQ(response.fault.message, QStringLiteral("Recarregue."));
}

TEST(JsonRpc, ResponsesWithoutResultOrErrorAreRefused)
{
    RpcResponse response;
    QString problem;
    EXPECT_FALSE(parseResponse(R"({"jsonrpc":"2.0","id":1})", response, problem));
    EXPECT_FALSE(parseResponse("nope", response, problem));
    EXPECT_FALSE(problem.isEmpty());
}
