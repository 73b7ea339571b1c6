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
    EXPECT_EQ(request.params.toJsonArray(), (QJsonArray{QStringLiteral("01"), QString()}));
}

TEST(JsonRpc, MissingParamsMeanNoArguments)
{
    RpcRequest request;
    RpcFault fault;
    ASSERT_TRUE(parseRequest(R"({"jsonrpc":"2.0","id":"x","method":"m"})", request, fault));
    EXPECT_EQ(request.params.size(), 0);
    EXPECT_EQ(request.id.toString(), QStringLiteral("x"));
    // Of a repeated member the last counts.
    ASSERT_TRUE(parseRequest(R"({"jsonrpc":"1.0","jsonrpc":"2.0","id":"x","method":"a",)"
                             R"("method":"m","params":"x","params":["p"]})",
                             request, fault));
    EXPECT_EQ(request.method, QStringLiteral("m"));
    EXPECT_EQ(request.params.toJsonArray(), QJsonArray{QStringLiteral("p")});
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
                   true},
        // Of a repeated member the last counts.
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":"m","params":[],"params":"x"})",
                   RpcError::InvalidParams, true},
        BadRequest{R"({"jsonrpc":"2.0","jsonrpc":"1.0","id":3,"method":"m"})",
                   RpcError::InvalidRequest, true},
        // Not strict JSON, though QJsonDocument would read each one.
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":"m","params":["\0\1"]})",
                   RpcError::ParseError, false},
        BadRequest{"{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"m\",\"params\":[\"a\x01\"]}",
                   RpcError::ParseError, false},
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":"m","params":[1.]})", RpcError::ParseError,
                   false},
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":"m","params":["\uDE00"]})",
                   RpcError::ParseError, false},
        // Strict JSON that no double holds.
        BadRequest{R"({"jsonrpc":"2.0","id":3,"method":"m","params":[1e999]})",
                   RpcError::ParseError, false}));

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

TEST(JsonRpc, RepliesEchoTheIdAsReceived)
{
    const QByteArray ids[] = {"9007199254740993",
                              "18446744073709551615",
                              "-9223372036854775808",
                              "1.0",
                              "-2.5e+3",
                              "0",
                              R"("a\u00e7\"b")",
                              R"("")"};
    for (const QByteArray &id : ids) {
        RpcRequest request;
        RpcFault fault;
        ASSERT_TRUE(parseRequest(R"({"jsonrpc":"2.0","method":"m","params":[],"id":)" + id + '}',
                                 request, fault))
            << id.constData();
        const QByteArray echoed = R"("id":)" + id + ',';
        EXPECT_TRUE(encodeResultFor(request, "[]").contains(echoed)) << id.constData();
        const QByteArray error = encodeErrorFor(request, RpcError::Validation, QStringLiteral("x"));
        EXPECT_TRUE(error.contains(echoed)) << error.constData();
        EXPECT_TRUE(QJsonDocument::fromJson(error).isObject()) << error.constData();
    }
}

TEST(JsonRpc, OverlongIdIsRefusedAndNotEchoed)
{
    for (const qsizetype length : {MaxIdLength - 2, MaxIdLength - 1}) {
        const QByteArray id = '"' + QByteArray(length, 'x') + '"';
        RpcRequest request;
        RpcFault fault;
        const bool ok =
            parseRequest(R"({"jsonrpc":"2.0","method":"m","id":)" + id + '}', request, fault);
        const bool fits = id.size() <= MaxIdLength;
        EXPECT_EQ(ok, fits) << id.size();
        EXPECT_EQ(encodeErrorFor(request, fault.code, fault.message).contains(id), fits);
        if (!fits) {
            EXPECT_EQ(fault.code, RpcError::InvalidRequest);
            EXPECT_TRUE(request.id.isUndefined() || request.id.isNull());
        }
    }
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
