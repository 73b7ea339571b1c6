#include "tests/server/ServerTest.h"

#include <QFile>
#include <QSet>

using namespace kvr::test;
using kvr::protocol::DataPacket;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

// PIS CSTs (the family's list) and the registered CFOPs, as the reference
// tables define them.
const QStringList pisCsts = {
    QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"), QStringLiteral("04"),
    QStringLiteral("05"), QStringLiteral("06"), QStringLiteral("07"), QStringLiteral("08"),
    QStringLiteral("09"), QStringLiteral("49"), QStringLiteral("50"), QStringLiteral("51"),
    QStringLiteral("52"), QStringLiteral("53"), QStringLiteral("54"), QStringLiteral("55"),
    QStringLiteral("56"), QStringLiteral("60"), QStringLiteral("61"), QStringLiteral("62"),
    QStringLiteral("63"), QStringLiteral("64"), QStringLiteral("65"), QStringLiteral("66"),
    QStringLiteral("67"), QStringLiteral("70"), QStringLiteral("71"), QStringLiteral("72"),
    QStringLiteral("73"), QStringLiteral("74"), QStringLiteral("75"), QStringLiteral("98"),
    QStringLiteral("99")};

QStringList cfopsBetween(const QString &first, const QString &last)
{
    QFile file(qEnvironmentVariable("KVR_SOURCE_DIR") + QStringLiteral("/data/cfop.csv"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList codes;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString code = QString::fromUtf8(line.split(';').at(0)).trimmed();
        if (code.size() == 4 && code >= first && code <= last)
            codes.append(code);
    }
    codes.sort();
    return codes;
}

QStringList between(const QStringList &list, const QString &first, const QString &last)
{
    QStringList out;
    for (const QString &item : list)
        if (item >= first && item <= last)
            out.append(item);
    return out;
}

class CadAutoInsere : public ServerTest
{
protected:
    RpcResponse insereAll(const QStringList &args)
    {
        return call(QStringLiteral("cadAutoInsere"), QJsonArray::fromStringList(args));
    }
    QSet<QString> combos(const QString &tax)
    {
        QSet<QString> out;
        for (const QStringList &row : rules(tax).rows)
            out.insert(field(row, QStringLiteral("CDFISCOPER")) + QLatin1Char('/') +
                       field(row, QStringLiteral("CDSITUTRIB")) + QLatin1Char('/') +
                       field(row, QStringLiteral("CDFISCAL")) + QLatin1Char('/') +
                       field(row, QStringLiteral("IDBLOQADMI")));
        return out;
    }
};

qint64 affected(const RpcResponse &response)
{
    return response.result.toObject().value(QStringLiteral("affected")).toInteger(-1);
}

} // namespace

TEST_P(CadAutoInsere, CreatesEveryCfopOfTheRangeWithEveryCstOfTheRange)
{
    const QStringList cfops = cfopsBetween(QStringLiteral("5101"), QStringLiteral("5120"));
    const QStringList csts = between(pisCsts, QStringLiteral("04"), QStringLiteral("50"));
    const qsizetype before = rules(QStringLiteral("50")).rows.size();
    const RpcResponse response = insere(
        QStringLiteral("50"), QStringLiteral("04"), QStringLiteral("50"), QStringLiteral("5101"),
        QStringLiteral("5120"), QStringLiteral("2"), QStringLiteral("A"));
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(affected(response), cfops.size() * csts.size());
    const QSet<QString> stored = combos(QStringLiteral("50"));
    for (const QString &cfop : cfops)
        for (const QString &cst : csts)
            EXPECT_TRUE(stored.contains(cfop + QLatin1Char('/') + cst + QStringLiteral("/2/A")))
                << cfop.toStdString() << "/" << cst.toStdString();
    EXPECT_EQ(rules(QStringLiteral("50")).rows.size(), before + cfops.size() * csts.size());
}

TEST_P(CadAutoInsere, NewRulesTakeTheArgumentsInTheirOrder)
{
    // base sign, tax value sign, rate sign, at entry, at approval, fiscal code, flag
    const RpcResponse response = insereAll(
        {QStringLiteral("01"), QStringLiteral("20"), QStringLiteral("20"), QStringLiteral("6101"),
         QStringLiteral("6101"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
         QStringLiteral("N"), QStringLiteral("S"), QStringLiteral("3"), QStringLiteral("A")});
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    ASSERT_EQ(affected(response), 1);
    const DataPacket packet = rules(QStringLiteral("01"));
    QString highest;
    QStringList created;
    for (const QStringList &row : packet.rows)
        if (field(row, QStringLiteral("NRSEQCONSISTE")) > highest) {
            highest = field(row, QStringLiteral("NRSEQCONSISTE"));
            created = row;
        }
    const QList<QPair<QString, QString>> expected = {
        {QStringLiteral("IDMARCADO"), QString()},
        {QStringLiteral("CDIMPOSTO"), QStringLiteral("01")},
        {QStringLiteral("IDCONSATIVA"), QStringLiteral("S")},
        {QStringLiteral("IDENTRSAIDOP"), QStringLiteral("T")},
        {QStringLiteral("CDFISCOPER"), QStringLiteral("6101")},
        {QStringLiteral("CDCST1DIGT"), QString()},
        {QStringLiteral("CDSITUTRIB"), QStringLiteral("20")},
        {QStringLiteral("CDFISCAL"), QStringLiteral("3")},
        {QStringLiteral("IDTPBASECALC"), QStringLiteral("1")},
        {QStringLiteral("IDTPVRIMPOSTO"), QStringLiteral("2")},
        {QStringLiteral("IDTPALIQUOTA"), QStringLiteral("3")},
        {QStringLiteral("CDTPCREDPICOITE"), QString()},
        {QStringLiteral("DSCONSISTENCIA"), QString()},
        {QStringLiteral("IDCONSISTELANC"), QStringLiteral("N")},
        {QStringLiteral("IDCONSISTEAPRO"), QStringLiteral("S")},
        {QStringLiteral("IDBLOQADMI"), QStringLiteral("A")},
        {QStringLiteral("IDCONSPREDEFI"), QStringLiteral("N")},
    };
    for (const auto &e : expected)
        EXPECT_EQ(field(created, e.first), e.second) << e.first.toStdString();
    EXPECT_EQ(highest.size(), 10);
}

TEST_P(CadAutoInsere, RegisteredCombinationsAreSkipped)
{
    const RpcResponse first =
        insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("03"),
               QStringLiteral("5101"), QStringLiteral("5102"));
    ASSERT_TRUE(first.ok);
    const RpcResponse again =
        insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("03"),
               QStringLiteral("5101"), QStringLiteral("5102"));
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(affected(again), 0);
    const RpcResponse wider =
        insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("04"),
               QStringLiteral("5101"), QStringLiteral("5102"));
    ASSERT_TRUE(wider.ok);
    EXPECT_EQ(affected(wider), affected(first) / 3);
    // Another fiscal code is another combination.
    const RpcResponse otherFiscal =
        insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("03"),
               QStringLiteral("5101"), QStringLiteral("5102"), QStringLiteral("2"));
    EXPECT_EQ(affected(otherFiscal), affected(first));
}

TEST_P(CadAutoInsere, RuleNumbersAreNewAndUniqueAcrossTaxes)
{
    ASSERT_TRUE(insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("02"),
                       QStringLiteral("5101"), QStringLiteral("5102"))
                    .ok);
    ASSERT_TRUE(insere(QStringLiteral("60"), QStringLiteral("01"), QStringLiteral("02"),
                       QStringLiteral("5101"), QStringLiteral("5102"))
                    .ok);
    QSet<QString> numbers;
    qsizetype total = 0;
    for (const QString &tax : {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                               QStringLiteral("50"), QStringLiteral("60")})
        for (const QStringList &row : rules(tax).rows) {
            const QString number = field(row, QStringLiteral("NRSEQCONSISTE"));
            EXPECT_TRUE(number.size() == 10 && number.toLongLong() > 0) << number.toStdString();
            numbers.insert(number);
            ++total;
        }
    EXPECT_EQ(numbers.size(), total);
}

TEST_P(CadAutoInsere, EmptyBoundsMeanOneRuleWithThatCodeEmpty)
{
    const QStringList cfops = cfopsBetween(QStringLiteral("5101"), QStringLiteral("5105"));
    const RpcResponse noCst =
        insere(QStringLiteral("01"), QString(), QString(), QStringLiteral("5101"),
               QStringLiteral("5105"), QStringLiteral("2"));
    ASSERT_TRUE(noCst.ok) << noCst.fault.message.toStdString();
    EXPECT_EQ(affected(noCst), cfops.size());
    const QSet<QString> stored = combos(QStringLiteral("01"));
    for (const QString &cfop : cfops)
        EXPECT_TRUE(stored.contains(cfop + QStringLiteral("//2/B")));

    const RpcResponse noCfop =
        insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("09"), QString(),
               QString(), QStringLiteral("2"));
    ASSERT_TRUE(noCfop.ok);
    EXPECT_EQ(affected(noCfop),
              between(pisCsts, QStringLiteral("01"), QStringLiteral("09")).size());
    EXPECT_TRUE(combos(QStringLiteral("50")).contains(QStringLiteral("/05/2/B")));

    const RpcResponse neither = insere(QStringLiteral("02"), QString(), QString(), QString(),
                                       QString(), QStringLiteral("3"));
    ASSERT_TRUE(neither.ok);
    EXPECT_EQ(affected(neither), 1);
    EXPECT_TRUE(combos(QStringLiteral("02")).contains(QStringLiteral("//3/B")));
}

TEST_P(CadAutoInsere, TaxWithoutCstFamilyGetsRulesWithoutCst)
{
    const RpcResponse response = insere(QStringLiteral("03"), QString(), QString(),
                                        QStringLiteral("5101"), QStringLiteral("5102"));
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(affected(response),
              cfopsBetween(QStringLiteral("5101"), QStringLiteral("5102")).size());
    const RpcResponse withCst =
        insere(QStringLiteral("03"), QStringLiteral("00"), QStringLiteral("00"),
               QStringLiteral("5101"), QStringLiteral("5102"));
    EXPECT_EQ(withCst.fault.code, RpcError::Validation);
    EXPECT_TRUE(withCst.fault.message.contains(QStringLiteral("CST inválido")));
}

TEST_P(CadAutoInsere, EqualBoundsAreAccepted)
{
    const RpcResponse response =
        insere(QStringLiteral("01"), QStringLiteral("00"), QStringLiteral("00"),
               QStringLiteral("6102"), QStringLiteral("6102"));
    ASSERT_TRUE(response.ok);
    EXPECT_EQ(affected(response), 1);
}

TEST_P(CadAutoInsere, EmptyRuleIsRefused)
{
    const qint64 before = ruleCount();
    const RpcResponse response = insere(QStringLiteral("01"), QString(), QString(), QString(),
                                        QString(), QStringLiteral("0"));
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_EQ(response.fault.message,
              QStringLiteral("A consistência deve ter no mínimo um campo preenchido"));
    const RpcResponse emptyFiscal =
        insere(QStringLiteral("01"), QString(), QString(), QString(), QString(), QString());
    EXPECT_EQ(emptyFiscal.fault.code, RpcError::Validation);
    EXPECT_EQ(ruleCount(), before);
}

struct BadInsert
{
    QStringList args;
    const char *messagePart;
};

TEST_P(CadAutoInsere, FaultyArgumentsCreateNothing)
{
    const auto args = [](std::initializer_list<QPair<int, QString>> overrides) {
        QStringList a = {QStringLiteral("01"),   QStringLiteral("00"),   QStringLiteral("20"),
                         QStringLiteral("5101"), QStringLiteral("5102"), QStringLiteral("0"),
                         QStringLiteral("0"),    QStringLiteral("0"),    QStringLiteral("S"),
                         QStringLiteral("S"),    QStringLiteral("1"),    QStringLiteral("B")};
        for (const auto &o : overrides)
            a[o.first] = o.second;
        return a;
    };
    const BadInsert cases[] = {
        {args({{0, QStringLiteral("77")}}), "Imposto não cadastrado"},
        {args({{0, QStringLiteral("1")}}), "2 dígitos"},
        {args({{0, QString()}}), "Imposto deve ser informado"},
        {args({{2, QString()}}), "CST deve ser informado"},
        {args({{1, QString()}}), "CST deve ser informado"},
        {args({{1, QStringLiteral("20")}, {2, QStringLiteral("00")}}),
         "CST final deve ser maior que o CST inicial"},
        {args({{2, QStringLiteral("05")}}), "CST inválido"},
        {args({{4, QString()}}), "CFOP deve ser informado"},
        {args({{3, QString()}}), "CFOP deve ser informado"},
        {args({{3, QStringLiteral("5102")}, {4, QStringLiteral("5101")}}),
         "CFOP final deve ser maior que o CFOP inicial"},
        {args({{4, QStringLiteral("5100")}}), "CFOP não cadastrado"},
        {args({{3, QStringLiteral("51")}}), "4 dígitos"},
        {args({{5, QStringLiteral("5")}}), "TP. Vr. BC"},
        {args({{6, QStringLiteral("X")}}), "TP. Vr. Imposto"},
        {args({{7, QStringLiteral("9")}}), "Tipo Aliquota"},
        {args({{8, QStringLiteral("X")}}), "lançamento"},
        {args({{9, QString()}}), "aprovação"},
        {args({{10, QStringLiteral("4")}}), "Código Fiscal"},
        {args({{11, QStringLiteral("X")}}), "bloqueado"},
    };
    const qint64 before = ruleCount();
    for (const BadInsert &c : cases) {
        const RpcResponse response = insereAll(c.args);
        EXPECT_EQ(response.fault.code, RpcError::Validation) << c.args.join(',').toStdString();
        EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(c.messagePart)))
            << c.messagePart << " / " << response.fault.message.toStdString();
    }
    EXPECT_EQ(ruleCount(), before);
}

KVR_ON_BOTH_BACKENDS(CadAutoInsere);
