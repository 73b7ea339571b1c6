#include "protocol/JsonRpc.h"
#include "protocol/PacketData.h"
#include "protocol/PacketReader.h"

#include <QJsonDocument>
#include <QVariant>

#include <gtest/gtest.h>

#include <string>

using namespace kvr::protocol;

namespace {

// What a reader handed over, row by row, or the problem it stopped at.
class Collected final : public PacketSink
{
public:
    void fields(const QList<PacketField> &fields, qsizetype) override { names = fields; }
    void row(const QStringView *values) override
    {
        QStringList row;
        for (qsizetype i = 0; i < names.size(); ++i)
            row.append(values[i].toString());
        rows.append(row.join(QLatin1Char('|')));
    }
    QList<PacketField> names;
    QStringList rows;
};

} // namespace

TEST(PacketForms, ReadAlikeInEveryForm)
{
#define F2 R"({"fields":[{"name":"A","size":2},{"name":"B","size":3}])"
    const struct
    {
        const char *json;
        const char *rows;    // rows joined by ';', values by '|', when read
        const char *problem; // part of the message, when refused
    } cases[] = {
        {F2 R"(,"rows":[]})", "", nullptr},
        {F2 R"(,"rows":[["01","abc"],["","ção"]]})", "01|abc;|ção", nullptr},
        {F2 R"(,"rows":[["\u00e7\"","a\\\n"]]})", "ç\"|a\\\n", nullptr},
        // Widths count characters: one emoji is one, though two UTF-16 units.
        {F2 R"(,"rows":[["\ud83d\ude00\ud83d\ude00","x"]]})", "😀😀|x", nullptr},
        {F2 R"(,"rows":[["012","x"]]})", nullptr,
         "o valor \"012\" na linha 1 excede o tamanho 2 do campo A"},
        {F2 R"(,"rows":[["01","x"],["01"]]})", nullptr, "a linha 2 tem 1 valores; esperados 2"},
        {F2 R"(,"rows":[["01",1]]})", nullptr, "o valor do campo B na linha 1"},
        {F2 R"(,"rows":[["01",null]]})", nullptr, "não é texto"},
        {F2 R"(,"rows":["01"]})", nullptr, "a linha 1 não é uma lista de valores"},
        {F2 R"(,"rows":{}})", nullptr, "a lista de linhas não é uma lista"},
        {F2 "}", nullptr, "falta a lista de linhas"},
        {R"({"rows":[]})", nullptr, "falta a lista de campos"},
        {R"({"fields":[{"name":"","size":1}],"rows":[]})", nullptr, "campo sem nome"},
        {R"({"fields":[{"name":"A","size":-1}],"rows":[]})", nullptr,
         "o campo A não tem um tamanho válido"},
        {R"({"fields":[{"name":"A","size":1.5}],"rows":[]})", nullptr,
         "o campo A não tem um tamanho válido"},
    };
#undef F2
    for (const auto &c : cases) {
        const auto check = [&c](const char *form, const auto &packet) {
            SCOPED_TRACE(std::string(form) + ": " + c.json);
            Collected sink;
            QString problem;
            const bool read = readPacket(packet, sink, problem);
            if (c.problem) {
                EXPECT_FALSE(read);
                EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problem)))
                    << problem.toStdString();
            } else {
                ASSERT_TRUE(read) << problem.toStdString();
                EXPECT_EQ(sink.rows.join(QLatin1Char(';')), QString::fromUtf8(c.rows));
            }
        };
        const QJsonObject object = QJsonDocument::fromJson(c.json).object();
        check("parsed", PacketData::fromJson(QByteArray(c.json)));
        check("json", object);
        check("variant", object.toVariantMap());
    }
}

// Texts Qt's parser bends but the packet parser refuses, as StrictJson does.
TEST(PacketData, NotStrictTextIsNoPacketAndNoReply)
{
    const QByteArray values[] = {R"("\0\1")",   "\"a\x01\"",   "\"\xff\"",
                                 R"("\uD800")", R"("\uDE00")", R"("\uD800\u0041")",
                                 "01",          "1.",          "\"a\","};
    for (const QByteArray &value : values) {
        SCOPED_TRACE(value.toStdString());
        const QByteArray packet = R"({"fields":[{"name":"A","size":9}],"rows":[[)" + value + "]]}";
        QString problem;
        EXPECT_TRUE(PacketData::fromJson(packet, &problem).isNull());
        EXPECT_TRUE(problem.startsWith(QStringLiteral("Pacote de dados inválido")))
            << problem.toStdString();
        RpcResponse response;
        EXPECT_FALSE(parseResponse(R"({"jsonrpc":"2.0","id":1,"result":)" + packet + "}", response,
                                   problem, PacketForm::Parsed));
    }
}

TEST(PacketData, AReplyKeepsItsPacketParsedAndConvertsOnDemand)
{
    const QByteArray packet = R"({"fields":[{"name":"CDIMPOSTO","size":2}],"rows":[["01"]]})";
    const QByteArray reply = encodeRawResult(4, packet);
    RpcResponse parsed;
    QString problem;
    ASSERT_TRUE(parseResponse(reply, parsed, problem, PacketForm::Parsed));
    EXPECT_EQ(parsed.id.toInteger(), 4);
    ASSERT_FALSE(parsed.packet.isNull());
    EXPECT_TRUE(parsed.result.isUndefined());

    const QJsonObject expected = QJsonDocument::fromJson(packet).object();
    const QVariant value = QVariant::fromValue(parsed.packet);
    EXPECT_EQ(value.value<QJsonObject>(), expected);
    EXPECT_EQ(value.toMap(), expected.toVariantMap());

    // Read as Qt JSON by default; other objects never become packets.
    RpcResponse plain;
    ASSERT_TRUE(parseResponse(reply, plain, problem));
    EXPECT_TRUE(plain.packet.isNull());
    EXPECT_EQ(plain.result.toObject(), expected);
    RpcResponse affected;
    ASSERT_TRUE(parseResponse(encodeRawResult(5, R"({"affected":3})"), affected, problem,
                              PacketForm::Parsed));
    EXPECT_TRUE(affected.packet.isNull());
    EXPECT_EQ(affected.result.toObject().value(QStringLiteral("affected")).toInt(), 3);
}
