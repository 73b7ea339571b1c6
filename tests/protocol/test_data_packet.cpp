#include "protocol/DataPacket.h"
#include "protocol/DeltaData.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace kvr::protocol;

namespace {

const QList<PacketField> fields = {{QStringLiteral("CDIMPOSTO"), 2},
                                   {QStringLiteral("NMIMPOSTO"), 30}};

QJsonObject parse(const QByteArray &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    EXPECT_TRUE(doc.isObject()) << json.constData();
    return doc.object();
}

} // namespace

class Texts : public ::testing::TestWithParam<QString>
{
};

TEST_P(Texts, PacketWriterOutputReadsBackAsWritten)
{
    PacketWriter writer(fields);
    writer.addRow({QStringLiteral("01"), GetParam().left(30)});
    writer.beginRow();
    writer.addValue(u"02");
    writer.addValue(QStringView());
    writer.endRow();
    // The same text as a database's UTF-8.
    const QByteArray utf8 = GetParam().left(30).toUtf8();
    writer.beginRow();
    writer.addUtf8("03", 2);
    writer.addUtf8(utf8.constData(), utf8.size());
    writer.endRow();
    DataPacket packet;
    QString problem;
    ASSERT_TRUE(packetFromJson(parse(writer.finish()), packet, problem)) << problem.toStdString();
    EXPECT_EQ(packet.fields, fields);
    ASSERT_EQ(packet.rows.size(), 3u);
    EXPECT_EQ(packet.rows.at(0).at(1), GetParam().left(30));
    EXPECT_EQ(packet.rows.at(1), (QStringList{QStringLiteral("02"), QString()}));
    EXPECT_EQ(packet.rows.at(2), (QStringList{QStringLiteral("03"), GetParam().left(30)}));
}

TEST(DataPacket, Utf8ThatIsNotValidReadsAsQtReadsIt)
{
    for (const QByteArray &bad :
         {QByteArray("a\xff b"), QByteArray("\xc3"), QByteArray("\xed\xa0\x80")}) {
        PacketWriter writer({{QStringLiteral("A"), 9}});
        writer.beginRow();
        writer.addUtf8(bad.constData(), bad.size());
        writer.endRow();
        DataPacket packet;
        QString problem;
        ASSERT_TRUE(packetFromJson(parse(writer.finish()), packet, problem))
            << problem.toStdString();
        EXPECT_EQ(packet.rows.at(0).at(0), QString::fromUtf8(bad));
    }
}

INSTANTIATE_TEST_SUITE_P(Escaping, Texts,
                         ::testing::Values(QStringLiteral("simples"),
                                           QStringLiteral("aspas \" e barra \\"),
                                           QStringLiteral("linha\nnova\r\ttab"),
                                           QStringLiteral("Operação não-tributável"),
                                           QString::fromUtf16(u"controle \u0001\u001f fim"),
                                           QString::fromUtf16(u"emoji \U0001F600 e \u20AC"),
                                           QString()));

TEST(DataPacket, EmptyPacketHasFieldsAndNoRows)
{
    PacketWriter writer(fields);
    DataPacket packet;
    QString problem;
    ASSERT_TRUE(packetFromJson(parse(writer.finish()), packet, problem));
    EXPECT_EQ(packet.fields, fields);
    EXPECT_TRUE(packet.rows.empty());
}

TEST(DataPacket, JsonRoundTrip)
{
    DataPacket packet{
        fields,
        {{QStringLiteral("01"), QStringLiteral("ICMS")}, {QStringLiteral("02"), QString()}}};
    DataPacket back;
    QString problem;
    ASSERT_TRUE(packetFromJson(packetToJson(packet), back, problem));
    EXPECT_EQ(back.fields, packet.fields);
    EXPECT_EQ(back.rows, packet.rows);
}

struct BadPacket
{
    const char *json;
};

class BadPackets : public ::testing::TestWithParam<BadPacket>
{
};

TEST_P(BadPackets, AreRefusedWithAReason)
{
    DataPacket packet;
    QString problem;
    EXPECT_FALSE(packetFromJson(parse(GetParam().json), packet, problem));
    EXPECT_FALSE(problem.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadPackets,
    ::testing::Values(BadPacket{R"({"rows":[]})"}, BadPacket{R"({"fields":{},"rows":[]})"},
                      BadPacket{R"({"fields":[{"name":"A"}],"rows":[]})"},
                      BadPacket{R"({"fields":[{"name":"","size":1}],"rows":[]})"},
                      BadPacket{R"({"fields":[{"name":"A","size":-1}],"rows":[]})"},
                      BadPacket{R"({"fields":[{"name":"A","size":1}]})"},
                      BadPacket{R"({"fields":[{"name":"A","size":1}],"rows":[["a","b"]]})"},
                      BadPacket{R"({"fields":[{"name":"A","size":1}],"rows":[[1]]})"},
                      BadPacket{R"({"fields":[{"name":"A","size":1}],"rows":[["ab"]]})"},
                      BadPacket{R"({"fields":[{"name":"A","size":1}],"rows":["a"]})"}));

TEST(DataPacket, WidthsCountCharactersNotUtf16Units)
{
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80"); // two UTF-16 units
    const QChar lone(char16_t(0xD83D));
    const struct
    {
        QString text;
        qsizetype characters;
    } texts[] = {
        {QString(), 0},
        {QStringLiteral("abc"), 3},
        {QStringLiteral("ção"), 3},
        {emoji, 1},
        {QStringLiteral("a") + emoji + emoji + QStringLiteral("b"), 4},
        {QString(lone) + QStringLiteral("a"), 2},
        {QStringLiteral("a") + lone, 2},
        {emoji.repeated(250), 250},
    };
    for (const auto &t : texts)
        EXPECT_EQ(characterCount(t.text), t.characters) << t.text.toStdString();

    for (const qsizetype count : {250, 251}) {
        PacketWriter writer({{QStringLiteral("DS"), 250}});
        writer.addRow({emoji.repeated(count)});
        DataPacket packet;
        QString problem;
        EXPECT_EQ(packetFromJson(parse(writer.finish()), packet, problem), count == 250)
            << count << " " << problem.toStdString();
    }
}

TEST(Delta, RoundTripKeepsUpdatesAndDeletes)
{
    Delta delta;
    delta.fields = fields;
    delta.changes.append({DeltaChange::Op::Update,
                          {QStringLiteral("01"), QStringLiteral("a")},
                          {QStringLiteral("01"), QStringLiteral("b")}});
    delta.changes.append(
        {DeltaChange::Op::Delete, {QStringLiteral("02"), QStringLiteral("c")}, {}});
    Delta back;
    QString problem;
    ASSERT_TRUE(deltaFromJson(deltaToJson(delta), back, problem)) << problem.toStdString();
    EXPECT_EQ(back.fields, delta.fields);
    ASSERT_EQ(back.changes.size(), 2);
    EXPECT_EQ(back.changes.at(0).op, DeltaChange::Op::Update);
    EXPECT_EQ(back.changes.at(0).oldRow, delta.changes.at(0).oldRow);
    EXPECT_EQ(back.changes.at(0).newRow, delta.changes.at(0).newRow);
    EXPECT_EQ(back.changes.at(1).op, DeltaChange::Op::Delete);
    EXPECT_EQ(back.changes.at(1).oldRow, delta.changes.at(1).oldRow);
}

class BadDeltas : public ::testing::TestWithParam<BadPacket>
{
};

// A delta reads the same built as Qt JSON and as received, still parsed.
TEST_P(BadDeltas, AreRefusedWithTheSameReasonInEitherForm)
{
    Delta delta;
    QString problem, parsedProblem;
    EXPECT_FALSE(deltaFromJson(parse(GetParam().json), delta, problem));
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_FALSE(readDelta(DeltaData::fromJson(GetParam().json), delta, parsedProblem));
    EXPECT_EQ(parsedProblem, problem);
}

TEST(Delta, ParsedReadsAsQtJson)
{
    // Of a repeated member the last counts, and 2.0 is a size as 2 is.
    const QByteArray json =
        R"({"fields":[],"fields":[{"name":"A","size":2.0}],"changes":[{"op":"upsert",)"
        R"("op":"update","old":["a"],"new":["x"],"new":["b"]},{"op":"delete","old":["c"]}]})";
    Delta built, parsed;
    QString problem;
    ASSERT_TRUE(deltaFromJson(parse(json), built, problem)) << problem.toStdString();
    ASSERT_TRUE(readDelta(DeltaData::fromJson(json), parsed, problem)) << problem.toStdString();
    EXPECT_EQ(parsed.fields, (QList<PacketField>{{QStringLiteral("A"), 2}}));
    EXPECT_EQ(parsed.fields, built.fields);
    ASSERT_EQ(parsed.changes.size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_EQ(parsed.changes.at(i).op, built.changes.at(i).op);
        EXPECT_EQ(parsed.changes.at(i).oldRow, built.changes.at(i).oldRow);
        EXPECT_EQ(parsed.changes.at(i).newRow, built.changes.at(i).newRow);
    }
    EXPECT_EQ(parsed.changes.at(0).newRow, QStringList{QStringLiteral("b")});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadDeltas,
    ::testing::Values(
        BadPacket{R"({"fields":[{"name":"A","size":1}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"insert","new":["a"]}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"upsert","old":["a"]}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"update","old":["a"]}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"delete"}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"delete","old":["ab"]}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[7]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1.5}],"changes":[]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"fields":{},"changes":[]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"delete","op":1}]})"},
        BadPacket{R"({"fields":[{"name":"A","size":1}],"changes":[{"op":"delete","old":["a"],)"
                  R"("old":[1]}]})"}));
