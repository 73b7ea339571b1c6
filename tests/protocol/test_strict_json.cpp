#include "protocol/JsonRpc.h"
#include "protocol/StrictJson.h"

#include <QByteArray>

#include <gtest/gtest.h>

using kvr::protocol::StrictJson;

TEST(StrictJson, TakesStrictTextsAndRefusesTheRest)
{
    const QByteArray taken[] = {// Whitespace and every kind of value.
                                "{}", "[]", " \t\r\n{ \"a\" : [ 1 , 2 ] }\n", "0", "-0.5e+10",
                                "1E-3", "9007199254740993", "\"text\"", "true", "false", "null",
                                // Escapes, UTF-8, nesting, a repeated key.
                                R"(["\"\\\/\b\f\n\r\t\u0000\u00e7\uD83D\uDE00"])",
                                "[\"\xc3\xa7\xe2\x82\xac\xf0\x9f\x98\x80\"]",
                                R"({"a":{"b":[{}, [], "", 0, {"c":null}]}})", R"({"a":1,"a":2})"};
    const QByteArray refused[] = {
        // Escapes QJsonDocument would bend instead of refusing.
        R"(["\0\1"])", R"(["\x41"])", R"(["\a"])", R"(["\'"])", R"(["\u12"])", R"(["\u12G4"])",
        R"(["\uDE00"])", R"(["\uD83D"])", R"(["\uD83Dx"])", R"(["\uD83D\u0041"])", "[\"\\",
        // Raw control characters inside strings.
        QByteArray("[\"a\0b\"]", 7), "[\"a\x01\"]", "[\"a\nb\"]", "[\"a\tb\"]", "[\"\x1f\"]",
        // Invalid UTF-8.
        "[\"\xff\"]", "[\"\xc3\"]", "[\"\xc0\xaf\"]", "[\"\xe0\x80\xaf\"]", "[\"\xed\xa0\x80\"]",
        "[\"\xf4\x90\x80\x80\"]", "[\"\xe2\x82\"]", "\xef\xbb\xbf{}",
        // Numbers.
        "[01]", "[1.]", "[.5]", "[+1]", "[-]", "[1e]", "[1e+]", "[0x10]", "[NaN]", "[Infinity]",
        // Numbers no 64-bit integer or double holds.
        "[1e400]", "[-9223372036854775809]", "[123456789012345678901234567890]",
        // Structure.
        "", "  ", "{", "[1,]", "[,1]", R"({"a":1,})", R"({"a"})", R"({a:1})", R"({'a':1})", "{} {}",
        "[1] x", "[1]]", "[}", "{]", "[tru]", "[nul]", "[True]", "[\"open]", "[1 2]", "[1]\v",
        "// c\n[]"};
    for (const QByteArray &text : taken)
        EXPECT_TRUE(StrictJson::validate(text)) << '`' << text.toStdString() << '`';
    for (const QByteArray &text : refused)
        EXPECT_FALSE(StrictJson::validate(text)) << '`' << text.toStdString() << '`';
}

TEST(StrictJson, NestingIsBounded)
{
    const auto nested = [](int depth) {
        QByteArray text(depth, '[');
        return text.append(QByteArray(depth, ']'));
    };
    EXPECT_TRUE(StrictJson::validate(nested(StrictJson::MaxDepth)));
    EXPECT_FALSE(StrictJson::validate(nested(StrictJson::MaxDepth + 1)));
    EXPECT_FALSE(StrictJson::validate(QByteArray(1000000, '[')));
}

TEST(StrictJson, RequestIdIsKeptAsWritten)
{
    const struct
    {
        QByteArray text;
        QByteArray id;
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":9007199254740993,"method":"m"})", "9007199254740993"},
        {R"({ "id" : -1.50e+3 , "x":1})", "-1.50e+3"},
        {R"({"id":"a\u0022b"})", R"("a\u0022b")"},
        {R"({"id":{"id":1},"x":[{"id":2}]})", ""}, // not an id a reply can echo
        {R"({"id":[]})", ""},
        {R"({"x":"}\"","id" :[1,{"a":"]"}],"id"	:	true ,"id":"z"})", R"("z")"},
        {R"({"id":1,"id":22})", "22"},
        {R"({"x":{"id":1}})", ""},
        {R"([{"id":1}])", ""},
        {R"({"idx":1,"i":2})", ""},
    };
    for (const auto &c : cases) {
        kvr::protocol::RpcRequest request;
        kvr::protocol::RpcFault fault;
        kvr::protocol::parseRequest(c.text, request, fault);
        EXPECT_NE(fault.code, kvr::protocol::RpcError::ParseError) << c.text.constData();
        EXPECT_EQ(request.rawId, c.id) << c.text.constData();
    }
}
