#include "fiscal/RuleRecord.h"
#include "tests/server/ServerTest.h"

#include <QFile>
#include <QSet>

using namespace kvr::test;
using kvr::protocol::DataPacket;
using kvr::protocol::RpcError;

namespace {

class ReadMethods : public ServerTest
{
};

QList<QStringList> cfopTable()
{
    QFile file(qEnvironmentVariable("KVR_SOURCE_DIR") + QStringLiteral("/data/cfop.csv"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QStringList> rows;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (!line.isEmpty())
            rows.append({line.section(QLatin1Char(';'), 0, 0), line.section(QLatin1Char(';'), 1)});
    }
    return rows;
}

} // namespace

TEST_P(ReadMethods, TaxListHoldsTheFourFamiliesAndATaxWithoutCst)
{
    const auto response = call(QStringLiteral("getImposto"), {QString(), QStringLiteral("T")});
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    const DataPacket taxes = packetOf(response);
    const QList<kvr::protocol::PacketField> fields = {{QStringLiteral("CDIMPOSTO"), 2},
                                                      {QStringLiteral("SGIMPOSTO"), 10},
                                                      {QStringLiteral("NMIMPOSTO"), 30},
                                                      {QStringLiteral("CDIMPOSTONFE"), 2}};
    EXPECT_EQ(taxes.fields, fields);
    QMap<QString, QString> nfeByTax;
    QStringList codes;
    for (const QStringList &row : taxes.rows) {
        nfeByTax.insert(row.at(0), row.at(3));
        codes.append(row.at(0));
    }
    QStringList sorted = codes;
    sorted.sort();
    EXPECT_EQ(codes, sorted);
    EXPECT_EQ(nfeByTax.value(QStringLiteral("01")), QStringLiteral("00"));
    EXPECT_EQ(nfeByTax.value(QStringLiteral("02")), QStringLiteral("10"));
    EXPECT_EQ(nfeByTax.value(QStringLiteral("50")), QStringLiteral("50"));
    EXPECT_EQ(nfeByTax.value(QStringLiteral("60")), QStringLiteral("60"));
    const QSet<QString> families = {QStringLiteral("00"), QStringLiteral("10"),
                                    QStringLiteral("50"), QStringLiteral("60")};
    bool withoutFamily = false;
    for (const QString &nfe : nfeByTax)
        withoutFamily = withoutFamily || !families.contains(nfe);
    EXPECT_TRUE(withoutFamily);
}

TEST_P(ReadMethods, TaxCheckFindsOneTaxOrNone)
{
    const DataPacket one =
        packetOf(call(QStringLiteral("getImposto"), {QStringLiteral("50"), QString()}));
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.rows.at(0).at(1), QStringLiteral("PIS"));
    const auto none = call(QStringLiteral("getImposto"), {QStringLiteral("77"), QString()});
    ASSERT_TRUE(none.ok);
    EXPECT_TRUE(packetOf(none).rows.empty());
}

struct BadCodeCase
{
    const char *method;
    QStringList args;
};

TEST_P(ReadMethods, CodesOfTheWrongWidthAreRefused)
{
    const BadCodeCase cases[] = {
        {"getImposto", {QStringLiteral("1"), QString()}},
        {"getImposto", {QStringLiteral("001"), QString()}},
        {"getImposto", {QStringLiteral("01"), QStringLiteral("X")}},
        {"getConsistencias", {QStringLiteral("1")}},
        {"getConsistencias", {QStringLiteral("AB")}},
        {"getVdCFOP", {QStringLiteral("510")}},
        {"getVdCFOP", {QStringLiteral("51022")}},
        {"vdCon", {QStringLiteral("01"), QStringLiteral("5")}},
        {"vdCon", {QStringLiteral("1"), QStringLiteral("0000000001")}},
        {"vdConsistencias",
         {QStringLiteral("01"), QStringLiteral("51020"), QString(), QString(), QStringLiteral("B"),
          QString()}},
        {"vdConsistencias",
         {QStringLiteral("01"), QString(), QString(), QStringLiteral("7"), QStringLiteral("B"),
          QString()}},
        {"vdConsistencias",
         {QStringLiteral("01"), QString(), QString(), QString(), QStringLiteral("X"), QString()}},
    };
    for (const BadCodeCase &c : cases) {
        const auto response =
            call(QString::fromLatin1(c.method), QJsonArray::fromStringList(c.args));
        EXPECT_FALSE(response.ok) << c.method << " " << c.args.join(',').toStdString();
        EXPECT_EQ(response.fault.code, RpcError::Validation) << c.method;
        EXPECT_FALSE(response.fault.message.isEmpty());
    }
}

TEST_P(ReadMethods, CfopListIsTheCompleteTable)
{
    const DataPacket cfops = packetOf(call(QStringLiteral("getCFOP"), {}));
    const QList<kvr::protocol::PacketField> fields = {{QStringLiteral("CDCFOPPADRAO"), 10},
                                                      {QStringLiteral("DSCFOPPADRAO"), 500}};
    EXPECT_EQ(cfops.fields, fields);
    QList<QStringList> expected = cfopTable();
    std::sort(expected.begin(), expected.end(),
              [](const QStringList &a, const QStringList &b) { return a.at(0) < b.at(0); });
    ASSERT_EQ(cfops.rows.size(), static_cast<size_t>(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(cfops.rows.at(static_cast<size_t>(i)), expected.at(i));
}

TEST_P(ReadMethods, CfopCheckFindsOneCfopOrNone)
{
    const QStringList known = cfopTable().at(0);
    const DataPacket one = packetOf(call(QStringLiteral("getVdCFOP"), {known.at(0)}));
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.rows.at(0), known);
    const auto none = call(QStringLiteral("getVdCFOP"), {QStringLiteral("0000")});
    ASSERT_TRUE(none.ok);
    EXPECT_TRUE(packetOf(none).rows.empty());
}

TEST_P(ReadMethods, RulesCarryTheEighteenFieldsOrderedByNumber)
{
    QStringList names;
    QList<int> sizes;
    for (const kvr::protocol::PacketField &field : kvr::fiscal::RuleRecord::fields()) {
        names.append(field.name);
        sizes.append(field.size);
    }
    ASSERT_EQ(names.size(), 18);
    QSet<QString> allNumbers;
    qsizetype total = 0;
    for (const QString &tax : {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                               QStringLiteral("50"), QStringLiteral("60")}) {
        const DataPacket packet = rules(tax);
        ASSERT_EQ(packet.fields.size(), names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            EXPECT_EQ(packet.fields.at(i).name, names.at(i));
            EXPECT_EQ(packet.fields.at(i).size, sizes.at(i));
        }
        ASSERT_FALSE(packet.rows.empty()) << "no example rules for tax " << tax.toStdString();
        QString previous;
        bool predefined = false, admitted = false;
        for (const QStringList &row : packet.rows) {
            EXPECT_EQ(field(row, QStringLiteral("IDMARCADO")), QString());
            EXPECT_EQ(field(row, QStringLiteral("CDIMPOSTO")), tax);
            const QString number = field(row, QStringLiteral("NRSEQCONSISTE"));
            EXPECT_EQ(number.size(), 10);
            EXPECT_GT(number, previous);
            previous = number;
            allNumbers.insert(number);
            ++total;
            predefined =
                predefined || field(row, QStringLiteral("IDCONSPREDEFI")) == QLatin1String("S");
            admitted = admitted || field(row, QStringLiteral("IDBLOQADMI")) == QLatin1String("A");
        }
        EXPECT_TRUE(predefined) << tax.toStdString();
        EXPECT_TRUE(admitted) << tax.toStdString();
    }
    EXPECT_EQ(allNumbers.size(), total) << "rule numbers must be unique across taxes";
}

TEST_P(ReadMethods, TaxWithoutCstFamilyHasRulesWithoutCst)
{
    for (const QStringList &row : rules(QStringLiteral("03")).rows)
        EXPECT_EQ(field(row, QStringLiteral("CDSITUTRIB")), QString());
}

TEST_P(ReadMethods, UnknownTaxHasNoRules)
{
    EXPECT_TRUE(rules(QStringLiteral("88")).rows.empty());
}

TEST_P(ReadMethods, RuleCheckFindsOnlyRulesOfTheTax)
{
    const DataPacket icms = rules(QStringLiteral("01"));
    const QStringList first = icms.rows.at(0);
    const QString number = field(first, QStringLiteral("NRSEQCONSISTE"));
    const DataPacket found =
        packetOf(call(QStringLiteral("vdCon"), {QStringLiteral("01"), number}));
    EXPECT_EQ(found.fields, icms.fields);
    ASSERT_EQ(found.rows.size(), 1u);
    EXPECT_EQ(found.rows.at(0), first);
    EXPECT_TRUE(
        packetOf(call(QStringLiteral("vdCon"), {QStringLiteral("02"), number})).rows.empty());
    EXPECT_TRUE(packetOf(call(QStringLiteral("vdCon"),
                              {QStringLiteral("01"), QStringLiteral("9999999999")}))
                    .rows.empty());
}

TEST_P(ReadMethods, DuplicateCheckComparesCfopCstFiscalCodeAndFlag)
{
    const QStringList rule = rules(QStringLiteral("01")).rows.at(0);
    const QString cfop = field(rule, QStringLiteral("CDFISCOPER"));
    const QString cst = field(rule, QStringLiteral("CDSITUTRIB"));
    const QString fiscal = field(rule, QStringLiteral("CDFISCAL"));
    const QString flag = field(rule, QStringLiteral("IDBLOQADMI"));
    const QString number = field(rule, QStringLiteral("NRSEQCONSISTE"));
    const QString otherFlag =
        flag == QLatin1String("B") ? QStringLiteral("A") : QStringLiteral("B");
    struct Case
    {
        QStringList args;
        const char *answer;
    } cases[] = {
        {{QStringLiteral("01"), cfop, cst, fiscal, flag, QStringLiteral("0000009999")}, "ER"},
        {{QStringLiteral("01"), cfop, cst, fiscal, flag, QString()}, "ER"},
        {{QStringLiteral("01"), cfop, cst, fiscal, flag, number}, "OK"},
        {{QStringLiteral("01"), cfop, cst, fiscal, otherFlag, QStringLiteral("0000009999")}, "OK"},
        {{QStringLiteral("02"), cfop, cst, fiscal, flag, QStringLiteral("0000009999")}, "OK"},
        {{QStringLiteral("01"), QString(), cst, fiscal, flag, QStringLiteral("0000009999")}, "OK"},
    };
    for (const Case &c : cases) {
        const auto response =
            call(QStringLiteral("vdConsistencias"), QJsonArray::fromStringList(c.args));
        ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
        EXPECT_EQ(response.result.toArray(), QJsonArray{QString::fromLatin1(c.answer)})
            << c.args.join(',').toStdString();
    }
}

TEST_P(ReadMethods, DuplicateCheckTakesAnEmptyFiscalCodeAsAny)
{
    const QStringList rule = newRule(QStringLiteral("01"), QStringLiteral("5101"),
                                     QStringLiteral("20"), QStringLiteral("0"));
    const auto response = call(QStringLiteral("vdConsistencias"),
                               {QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("20"),
                                QString(), QStringLiteral("B"), QString()});
    ASSERT_TRUE(response.ok);
    EXPECT_EQ(response.result.toArray(), QJsonArray{QStringLiteral("ER")});
}

KVR_ON_BOTH_BACKENDS(ReadMethods);
