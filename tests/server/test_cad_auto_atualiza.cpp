#include "tests/server/ServerTest.h"

#include "server/rdm/RdmConsisteFiscal.h"

using namespace kvr::test;
using kvr::protocol::DataPacket;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

QJsonArray flagsOf(std::initializer_list<int> on)
{
    QJsonArray flags;
    for (int i = 0; i < 7; ++i)
        flags.append(std::find(on.begin(), on.end(), i) != on.end());
    return flags;
}

// CST, CFOP, fiscal code, tax value sign, base sign, rate sign, at entry, at approval
QJsonArray valuesOf(const QStringList &values)
{
    return QJsonArray::fromStringList(values);
}

const QStringList someValues = {QStringLiteral("20"), QStringLiteral("6101"), QStringLiteral("2"),
                                QStringLiteral("3"),  QStringLiteral("1"),    QStringLiteral("4"),
                                QStringLiteral("N"),  QStringLiteral("S")};

class CadAutoAtualiza : public ServerTest
{
protected:
    // Nine user rules of ICMS: CFOPs 5101, 5102, 5103 with CSTs 00, 10, 20.
    QList<QStringList> makeRules()
    {
        const RpcResponse response =
            insere(QStringLiteral("01"), QStringLiteral("00"), QStringLiteral("20"),
                   QStringLiteral("5101"), QStringLiteral("5103"));
        EXPECT_TRUE(response.ok) << response.fault.message.toStdString();
        QList<QStringList> made;
        for (const QStringList &row : rules(QStringLiteral("01")).rows)
            if (field(row, QStringLiteral("IDCONSPREDEFI")) == QLatin1String("N") &&
                field(row, QStringLiteral("CDFISCAL")) == QLatin1String("1") &&
                field(row, QStringLiteral("CDFISCOPER")).startsWith(QLatin1String("510")) &&
                field(row, QStringLiteral("IDBLOQADMI")) == QLatin1String("B"))
                made.append(row);
        EXPECT_EQ(made.size(), 9);
        return made;
    }
    RpcResponse atualiza(const QString &first, const QString &last, const QString &list,
                         const QJsonArray &flags, const QJsonArray &values,
                         const QString &tax = QStringLiteral("01"))
    {
        return call(QStringLiteral("cadAutoAtualiza"), {tax, first, last, list, flags, values});
    }
};

QString number(const QStringList &rule)
{
    return ServerTest::field(rule, QStringLiteral("NRSEQCONSISTE"));
}

qint64 affected(const RpcResponse &response)
{
    return response.result.toObject().value(QStringLiteral("affected")).toInteger(-1);
}

} // namespace

TEST_P(CadAutoAtualiza, RangeChangesTheRulesBetweenTheNumbers)
{
    const QList<QStringList> made = makeRules();
    const RpcResponse response = atualiza(number(made.at(2)), number(made.at(5)), QString(),
                                          flagsOf({2}), valuesOf(someValues));
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(affected(response), 4);
    for (int i = 0; i < made.size(); ++i) {
        const QStringList now = rule(QStringLiteral("01"), number(made.at(i)));
        const bool inside = i >= 2 && i <= 5;
        EXPECT_EQ(now, inside
                           ? withField(made.at(i), QStringLiteral("CDFISCAL"), QStringLiteral("2"))
                           : made.at(i))
            << i;
    }
}

TEST_P(CadAutoAtualiza, OneRuleRange)
{
    const QList<QStringList> made = makeRules();
    const RpcResponse response = atualiza(number(made.at(4)), number(made.at(4)), QString(),
                                          flagsOf({2}), valuesOf(someValues));
    ASSERT_TRUE(response.ok);
    EXPECT_EQ(affected(response), 1);
}

TEST_P(CadAutoAtualiza, ListChangesOnlyThePickedRules)
{
    const QList<QStringList> made = makeRules();
    const QString list = number(made.at(7)) + QLatin1Char(',') + number(made.at(1));
    const RpcResponse response =
        atualiza(QString(), QString(), list, flagsOf({6}), valuesOf(someValues));
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(affected(response), 2);
    for (int i = 0; i < made.size(); ++i) {
        const QStringList now = rule(QStringLiteral("01"), number(made.at(i)));
        if (i == 1 || i == 7) {
            EXPECT_EQ(field(now, QStringLiteral("IDCONSISTELANC")), QStringLiteral("N"));
            EXPECT_EQ(field(now, QStringLiteral("IDCONSISTEAPRO")), QStringLiteral("S"));
        } else {
            EXPECT_EQ(now, made.at(i));
        }
    }
}

struct FlagCase
{
    int flag;
    QStringList fields;
    QStringList values;
};

TEST_P(CadAutoAtualiza, EachFlagWritesItsOwnField)
{
    const QList<QStringList> made = makeRules();
    const QStringList target = made.at(0); // CFOP 5101, CST 00
    const FlagCase cases[] = {
        {0, {QStringLiteral("CDSITUTRIB")}, {QStringLiteral("90")}},
        {1, {QStringLiteral("CDFISCOPER")}, {QStringLiteral("6101")}},
        {2, {QStringLiteral("CDFISCAL")}, {QStringLiteral("3")}},
        {3, {QStringLiteral("IDTPVRIMPOSTO")}, {QStringLiteral("3")}},
        {4, {QStringLiteral("IDTPBASECALC")}, {QStringLiteral("1")}},
        {5, {QStringLiteral("IDTPALIQUOTA")}, {QStringLiteral("4")}},
        {6,
         {QStringLiteral("IDCONSISTELANC"), QStringLiteral("IDCONSISTEAPRO")},
         {QStringLiteral("N"), QStringLiteral("S")}},
    };
    QStringList expected = target;
    for (const FlagCase &c : cases) {
        const QStringList values = {
            QStringLiteral("90"), QStringLiteral("6101"), QStringLiteral("3"), QStringLiteral("3"),
            QStringLiteral("1"),  QStringLiteral("4"),    QStringLiteral("N"), QStringLiteral("S")};
        const RpcResponse response =
            atualiza(QString(), QString(), number(target), flagsOf({c.flag}), valuesOf(values));
        ASSERT_TRUE(response.ok) << c.flag << ": " << response.fault.message.toStdString();
        for (int i = 0; i < c.fields.size(); ++i)
            expected = withField(expected, c.fields.at(i), c.values.at(i));
        EXPECT_EQ(rule(QStringLiteral("01"), number(target)), expected) << "flag " << c.flag;
    }
}

TEST_P(CadAutoAtualiza, NoFlagChangesNothing)
{
    const QList<QStringList> made = makeRules();
    const RpcResponse response = atualiza(number(made.first()), number(made.last()), QString(),
                                          flagsOf({}), valuesOf(someValues));
    ASSERT_TRUE(response.ok);
    for (const QStringList &row : made)
        EXPECT_EQ(rule(QStringLiteral("01"), number(row)), row);
}

TEST_P(CadAutoAtualiza, PredefinedRulesAreLeftUnchanged)
{
    makeRules();
    const DataPacket before = rules(QStringLiteral("01"));
    qint64 userRules = 0;
    for (const QStringList &row : before.rows)
        userRules += field(row, QStringLiteral("IDCONSPREDEFI")) == QLatin1String("N") ? 1 : 0;
    ASSERT_LT(userRules, static_cast<qint64>(before.rows.size())) << "needs a predefined rule";
    const RpcResponse response =
        atualiza(QStringLiteral("0000000001"), QStringLiteral("9999999999"), QString(),
                 flagsOf({3}), valuesOf(someValues));
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(affected(response), userRules);
    for (const QStringList &row : before.rows) {
        const QStringList now = rule(QStringLiteral("01"), number(row));
        if (field(row, QStringLiteral("IDCONSPREDEFI")) == QLatin1String("S"))
            EXPECT_EQ(now, row);
        else
            EXPECT_EQ(field(now, QStringLiteral("IDTPVRIMPOSTO")), QStringLiteral("3"));
    }
}

TEST_P(CadAutoAtualiza, DuplicateFailsTheWholeCall)
{
    const QList<QStringList> made = makeRules();
    // Rules 0 (5101/00) and 3 (5102/00): giving both CFOP 5103 collides with rule 6 (5103/00).
    const QString list = number(made.at(0)) + QLatin1Char(',') + number(made.at(3));
    const RpcResponse response =
        atualiza(QString(), QString(), list, flagsOf({1}),
                 valuesOf({QString(), QStringLiteral("5103"), QString(), QString(), QString(),
                           QString(), QString(), QString()}));
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_TRUE(
        response.fault.message.contains(QStringLiteral("Consistência Fiscal já cadastrada")));
    for (const QStringList &row : made)
        EXPECT_EQ(rule(QStringLiteral("01"), number(row)), row);
}

TEST_P(CadAutoAtualiza, ChangeThatEmptiesARuleIsRefused)
{
    const RpcResponse created =
        insere(QStringLiteral("01"), QString(), QString(), QStringLiteral("6101"),
               QStringLiteral("6101"), QStringLiteral("0"));
    ASSERT_TRUE(created.ok);
    QStringList target;
    for (const QStringList &row : rules(QStringLiteral("01")).rows)
        if (field(row, QStringLiteral("CDFISCOPER")) == QLatin1String("6101"))
            target = row;
    const RpcResponse response = atualiza(QString(), QString(), number(target), flagsOf({1}),
                                          valuesOf({QString(), QString(), QString(), QString(),
                                                    QString(), QString(), QString(), QString()}));
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_TRUE(response.fault.message.contains(QStringLiteral("no mínimo um campo preenchido")));
    EXPECT_EQ(rule(QStringLiteral("01"), number(target)), target);
}

struct BadSelection
{
    QString first, last, list;
    const char *messagePart;
};

TEST_P(CadAutoAtualiza, FaultySelectionsAndValuesChangeNothing)
{
    const QList<QStringList> made = makeRules();
    const QString a = number(made.at(0)), b = number(made.at(8));
    const QString otherTax = number(rules(QStringLiteral("02")).rows.at(0));
    const BadSelection selections[] = {
        {QString(), QString(), QString(), "Consistência deve ser informada"},
        {a, b, a, "não os dois"},
        {b, a, QString(), "Consistência final deve ser maior ou igual que a consistência inicial"},
        {a, QString(), QString(), "Consistência deve ser informada"},
        {QStringLiteral("12"), b, QString(), "10 dígitos"},
        {QString(), QString(), a + QStringLiteral(",12"), "10 dígitos"},
        {QString(), QString(), a + QStringLiteral(";") + b, "10 dígitos"},
        {QString(), QString(), otherTax, "não cadastrada"},
        {QString(), QString(), QStringLiteral("9999999999"), "não cadastrada"},
    };
    for (const BadSelection &s : selections) {
        const RpcResponse response =
            atualiza(s.first, s.last, s.list, flagsOf({2}), valuesOf(someValues));
        EXPECT_EQ(response.fault.code, RpcError::Validation) << s.messagePart;
        EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(s.messagePart)))
            << s.messagePart << " / " << response.fault.message.toStdString();
    }
    const struct
    {
        int flag;
        int index;
        const char *value;
    } badValues[] = {{0, 0, "05"}, {1, 1, "9999"}, {2, 2, "7"}, {3, 3, "X"},
                     {4, 4, "5"},  {5, 5, "A"},    {6, 6, "X"}, {6, 7, ""}};
    for (const auto &v : badValues) {
        QStringList values = someValues;
        values[v.index] = QString::fromLatin1(v.value);
        const RpcResponse response = atualiza(a, b, QString(), flagsOf({v.flag}), valuesOf(values));
        EXPECT_EQ(response.fault.code, RpcError::Validation) << "flag " << v.flag;
    }
    for (const QStringList &row : made)
        EXPECT_EQ(rule(QStringLiteral("01"), number(row)), row);
}

TEST_P(CadAutoAtualiza, ListHoldsAtMostItsLimitOfNumbers)
{
    constexpr qsizetype limit = kvr::server::RdmConsisteFiscal::MaxListRules;
    const QList<QStringList> made = makeRules();
    // The nine rules again and again: repeats count once when applied, but
    // every entry counts towards the limit.
    const auto listOf = [&made](qsizetype entries) {
        QStringList list;
        for (qsizetype i = 0; i < entries; ++i)
            list.append(number(made.at(i % made.size())));
        return list.join(QLatin1Char(','));
    };
    const RpcResponse over =
        atualiza(QString(), QString(), listOf(limit + 1), flagsOf({2}), valuesOf(someValues));
    EXPECT_EQ(over.fault.code, RpcError::Validation);
    EXPECT_TRUE(over.fault.message.contains(QStringLiteral("limite é de %1").arg(limit)))
        << over.fault.message.toStdString();
    EXPECT_TRUE(over.fault.message.contains(QStringLiteral("intervalo")));
    for (const QStringList &row : made)
        EXPECT_EQ(rule(QStringLiteral("01"), number(row)), row);

    const RpcResponse atLimit =
        atualiza(QString(), QString(), listOf(limit), flagsOf({2}), valuesOf(someValues));
    ASSERT_TRUE(atLimit.ok) << atLimit.fault.message.toStdString();
    EXPECT_EQ(affected(atLimit), made.size());
    for (const QStringList &row : made)
        EXPECT_EQ(field(rule(QStringLiteral("01"), number(row)), QStringLiteral("CDFISCAL")),
                  QStringLiteral("2"));
}

TEST_P(CadAutoAtualiza, ValuesOfUnsetFlagsAreIgnored)
{
    const QList<QStringList> made = makeRules();
    const RpcResponse response =
        atualiza(number(made.at(0)), number(made.at(0)), QString(), flagsOf({2}),
                 valuesOf({QStringLiteral("ZZ"), QStringLiteral("x"), QStringLiteral("3"),
                           QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?"),
                           QStringLiteral("?"), QStringLiteral("?")}));
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(rule(QStringLiteral("01"), number(made.at(0))),
              withField(made.at(0), QStringLiteral("CDFISCAL"), QStringLiteral("3")));
}

KVR_ON_BOTH_BACKENDS(CadAutoAtualiza);
