#include "protocol/StrictJson.h"

#include <QByteArray>

#include <gtest/gtest.h>

using kvr::protocol::StrictJson;

namespace {

struct JsonCase
{
    QByteArray text;
    bool strict;
};

void PrintTo(const JsonCase &c, std::ostream *os)
{
    *os << '`' << c.text.toStdString() << "` " << (c.strict ? "strict" : "refused");
}

class StrictJsonCases : public ::testing::TestWithParam<JsonCase>
{
};

} // namespace

TEST_P(StrictJsonCases, AreTakenOrRefused)
{
    EXPECT_EQ(StrictJson::validate(GetParam().text), GetParam().strict);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrictJsonCases,
    ::testing::Values(
        // Taken.
        JsonCase{"{}", true}, JsonCase{"[]", true},
        JsonCase{" \t\r\n{ \"a\" : [ 1 , 2 ] }\n", true}, JsonCase{"0", true},
        JsonCase{"-0.5e+10", true}, JsonCase{"1E-3", true}, JsonCase{"9007199254740993", true},
        JsonCase{"\"text\"", true}, JsonCase{"true", true}, JsonCase{"false", true},
        JsonCase{"null", true}, JsonCase{R"(["\"\\\/\b\f\n\r\t\u0000\u00e7\uD83D\uDE00"])", true},
        JsonCase{"[\"\xc3\xa7\xe2\x82\xac\xf0\x9f\x98\x80\"]", true},
        JsonCase{R"({"a":{"b":[{}, [], "", 0, {"c":null}]}})", true},
        JsonCase{R"({"a":1,"a":2})", true},
        // Escapes QJsonDocument would bend instead of refusing.
        JsonCase{R"(["\0\1"])", false}, JsonCase{R"(["\x41"])", false},
        JsonCase{R"(["\a"])", false}, JsonCase{R"(["\'"])", false}, JsonCase{R"(["\u12"])", false},
        JsonCase{R"(["\u12G4"])", false}, JsonCase{R"(["\uDE00"])", false},
        JsonCase{R"(["\uD83D"])", false}, JsonCase{R"(["\uD83Dx"])", false},
        JsonCase{R"(["\uD83D\u0041"])", false}, JsonCase{"[\"\\", false},
        // Raw control characters inside strings.
        JsonCase{QByteArray("[\"a\0b\"]", 7), false}, JsonCase{"[\"a\x01\"]", false},
        JsonCase{"[\"a\nb\"]", false}, JsonCase{"[\"a\tb\"]", false}, JsonCase{"[\"\x1f\"]", false},
        // Invalid UTF-8.
        JsonCase{"[\"\xff\"]", false}, JsonCase{"[\"\xc3\"]", false},
        JsonCase{"[\"\xc0\xaf\"]", false}, JsonCase{"[\"\xe0\x80\xaf\"]", false},
        JsonCase{"[\"\xed\xa0\x80\"]", false}, JsonCase{"[\"\xf4\x90\x80\x80\"]", false},
        JsonCase{"[\"\xe2\x82\"]", false}, JsonCase{"\xef\xbb\xbf{}", false},
        // Numbers.
        JsonCase{"[01]", false}, JsonCase{"[1.]", false}, JsonCase{"[.5]", false},
        JsonCase{"[+1]", false}, JsonCase{"[-]", false}, JsonCase{"[1e]", false},
        JsonCase{"[1e+]", false}, JsonCase{"[0x10]", false}, JsonCase{"[NaN]", false},
        JsonCase{"[Infinity]", false},
        // Structure.
        JsonCase{"", false}, JsonCase{"  ", false}, JsonCase{"{", false}, JsonCase{"[1,]", false},
        JsonCase{"[,1]", false}, JsonCase{R"({"a":1,})", false}, JsonCase{R"({"a"})", false},
        JsonCase{R"({a:1})", false}, JsonCase{R"({'a':1})", false}, JsonCase{"{} {}", false},
        JsonCase{"[1] x", false}, JsonCase{"[1]]", false}, JsonCase{"[}", false},
        JsonCase{"{]", false}, JsonCase{"[tru]", false}, JsonCase{"[nul]", false},
        JsonCase{"[True]", false}, JsonCase{"[\"open]", false}, JsonCase{"[1 2]", false},
        JsonCase{"[1]\v", false}, JsonCase{"// c\n[]", false}));

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

TEST(StrictJson, TopLevelMemberIsGivenAsWritten)
{
    const struct
    {
        QByteArray text;
        QByteArray id;
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":9007199254740993,"method":"m"})", "9007199254740993"},
        {R"({ "id" : -1.50e+3 , "x":1})", "-1.50e+3"},
        {R"({"id":"a\u0022b"})", R"("a\u0022b")"},
        {R"({"id":{"id":1},"x":[{"id":2}]})", R"({"id":1})"},
        {R"({"id":[]})", "[]"},
        {R"({"id":1,"id":22})", "22"},
        {R"({"x":{"id":1}})", ""},
        {R"([{"id":1}])", ""},
        {R"({"idx":1,"i":2})", ""},
    };
    for (const auto &c : cases) {
        QByteArrayView raw = "stale";
        ASSERT_TRUE(StrictJson::validate(c.text, "id", &raw)) << c.text.constData();
        EXPECT_EQ(raw.toByteArray(), c.id) << c.text.constData();
    }
}
