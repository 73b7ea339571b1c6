#include "fiscal/FindingRecord.h"
#include "fiscal/MapRecord.h"
#include "fiscal/RuleMatch.h"
#include "server/rdm/RuleIndex.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/seed/Seeder.h"
#include "server/storage/Migrations.h"
#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kvr::fiscal::RuleMatch;
using kvr::server::RuleIndex;
using R = kvr::server::RuleRecord;
using Stage = RuleMatch::Stage;

namespace {

// A rule in one line, blank-separated, "-" for empty: kind, active,
// direction, CFOP, CST first digit, CST, fiscal code, base, rate and value
// signs, credit type, verified at entry, at approval.
QStringList ruleRow(const char *text)
{
    const QStringList parts = QString::fromLatin1(text).split(QLatin1Char(' '));
    const auto at = [&parts](int i) {
        return parts.at(i) == QLatin1String("-") ? QString() : parts.at(i);
    };
    QStringList row = R::blankRow();
    row[R::CDIMPOSTO] = QStringLiteral("50");
    row[R::IDBLOQADMI] = at(0);
    row[R::IDCONSATIVA] = at(1);
    for (int f = 0; f < RuleMatch::FieldCount; ++f)
        row[RuleMatch::recordField(RuleMatch::Field(f))] = at(2 + f);
    row[R::IDCONSISTELANC] = at(11);
    row[R::IDCONSISTEAPRO] = at(12);
    row[R::IDCONSPREDEFI] = QStringLiteral("N");
    return row;
}

// A line: direction, CFOP, CST first digit, CST, fiscal code, three signs, credit type.
RuleMatch::Codes line(const char *text)
{
    const QStringList parts = QString::fromLatin1(text).split(QLatin1Char(' '));
    RuleMatch::Codes codes;
    for (int f = 0; f < RuleMatch::FieldCount; ++f)
        codes[f] = parts.at(f) == QLatin1String("-") ? QString() : parts.at(f);
    return codes;
}

QList<QStringList> packetRows(const QByteArray &packet)
{
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(packet).object()[u"rows"].toArray()) {
        QStringList values;
        for (const QJsonValue &value : row.toArray())
            values.append(value.toString());
        rows.append(values);
    }
    return rows;
}

// A seeded SQLite database whose tax 50 holds only the rules a test gives.
class IndexTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kvr::server::DatabaseUrl url;
        url.path = m_dir.filePath(QStringLiteral("rules.sqlite"));
        m_storage = kvr::server::Storage::open(url);
        kvr::server::Migrations::apply(*m_storage);
        kvr::server::Seeder::seed(*m_storage);
        replaceRules({});
    }
    // The numbers given to the rows, in order.
    QStringList replaceRules(QList<QStringList> rows)
    {
        kvr::server::RuleRepository repository(*m_storage);
        kvr::server::WriteTransaction transaction(*m_storage);
        for (const QStringList &old : all())
            repository.remove(old.at(R::NRSEQCONSISTE));
        repository.insertNumbered(rows);
        transaction.commit();
        QStringList numbers;
        for (const QStringList &row : rows)
            numbers.append(row.at(R::NRSEQCONSISTE));
        return numbers;
    }
    QList<QStringList> all()
    {
        return kvr::server::RuleRepository(*m_storage)
            .rangeOfTax(QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("9999999999"));
    }
    std::shared_ptr<const RuleIndex> index() { return RuleIndex::of(*m_storage, u"50"_qs); }

    QTemporaryDir m_dir;
    std::unique_ptr<kvr::server::Storage> m_storage;
};

} // namespace

TEST(RuleMatch, EachFieldMatchesItsCodeItsWildcardsAndNothingElse)
{
    const struct
    {
        RuleMatch::Field field;
        const char *code;
        const char *value;
        bool applies;
    } cases[] = {
        {RuleMatch::Direction, "T", "E", true},   {RuleMatch::Direction, "T", "S", true},
        {RuleMatch::Direction, "", "S", true},    {RuleMatch::Direction, "E", "E", true},
        {RuleMatch::Direction, "E", "S", false},  {RuleMatch::Direction, "S", "E", false},
        {RuleMatch::Cfop, "", "5101", true},      {RuleMatch::Cfop, "5101", "5101", true},
        {RuleMatch::Cfop, "5101", "5102", false}, {RuleMatch::Cst1, "", "3", true},
        {RuleMatch::Cst1, "0", "0", true},        {RuleMatch::Cst1, "0", "3", false},
        {RuleMatch::Cst, "", "01", true},         {RuleMatch::Cst, "01", "01", true},
        {RuleMatch::Cst, "01", "10", false},      {RuleMatch::Cst, "01", "", false},
        {RuleMatch::Fiscal, "0", "2", true},      {RuleMatch::Fiscal, "", "3", true},
        {RuleMatch::Fiscal, "2", "2", true},      {RuleMatch::Fiscal, "2", "3", false},
        {RuleMatch::BaseSign, "0", "1", true},    {RuleMatch::BaseSign, "", "2", true},
        {RuleMatch::BaseSign, "4", "1", true},    {RuleMatch::BaseSign, "4", "3", true},
        {RuleMatch::BaseSign, "4", "2", false},   {RuleMatch::BaseSign, "3", "3", true},
        {RuleMatch::BaseSign, "3", "2", false},   {RuleMatch::BaseSign, "2", "1", false},
        {RuleMatch::RateSign, "4", "2", false},   {RuleMatch::RateSign, "0", "2", true},
        {RuleMatch::RateSign, "1", "1", true},    {RuleMatch::ValueSign, "1", "3", false},
        {RuleMatch::ValueSign, "4", "3", true},   {RuleMatch::ValueSign, "", "1", true},
        {RuleMatch::Credit, "", "001", true},     {RuleMatch::Credit, "001", "001", true},
        {RuleMatch::Credit, "001", "002", false}, {RuleMatch::Credit, "001", "", false},
        {RuleMatch::Credit, "0", "001", false},
    };
    for (const auto &c : cases) {
        RuleMatch::Rule rule = RuleMatch::fromRow(ruleRow("B S T - - - 0 0 0 0 - S S"));
        rule.codes[c.field] = QString::fromLatin1(c.code);
        RuleMatch::Codes values = line("E 5101 0 01 1 1 1 1 -");
        values[c.field] = QString::fromLatin1(c.value);
        EXPECT_EQ(RuleMatch::applies(rule, Stage::Entry, values), c.applies)
            << "field " << c.field << " code \"" << c.code << "\" value \"" << c.value << "\"";
    }
}

TEST(RuleMatch, OnlyActiveRulesApplyAndOnlyAtTheirStages)
{
    const struct
    {
        const char *rule;
        Stage stage;
        bool applies;
    } cases[] = {
        {"B S T - - - 0 0 0 0 - S N", Stage::Entry, true},
        {"B S T - - - 0 0 0 0 - S N", Stage::Approval, false},
        {"A S T - - - 0 0 0 0 - N S", Stage::Approval, true},
        {"A S T - - - 0 0 0 0 - N S", Stage::Entry, false},
        {"B N T - - - 0 0 0 0 - S S", Stage::Entry, false},
        {"B N T - - - 0 0 0 0 - S S", Stage::Approval, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RuleMatch::applies(RuleMatch::fromRow(ruleRow(c.rule)), c.stage,
                                     line("S 5102 2 50 3 3 3 2 001")),
                  c.applies)
            << c.rule;
}

// The index against a plain scan of every rule, before and after changes.
TEST_F(IndexTest, IndexedSimulationAgreesWithAPlainScan)
{
    QRandomGenerator random(17);
    const auto pick = [&random](const QStringList &values) {
        return values.at(random.bounded(int(values.size())));
    };
    // 2 kinds x 4 fiscal codes x 31 CFOPs x 16 CSTs leave room for 2,000 rules.
    const QStringList cfops =
        QStringLiteral("1101 1102 1201 1202 1401 1403 1556 2101 2102 2201 2403 3101 3102 5101 "
                       "5102 5201 5202 5401 5403 5405 5949 6101 6102 6201 6401 6403 6949 7101 "
                       "7102 7949")
            .split(QLatin1Char(' '));
    const QStringList csts =
        QStringLiteral("01 02 04 05 06 07 08 49 50 51 70 73 75 98 99").split(QLatin1Char(' '));
    const QStringList credits{QString(), QStringLiteral("001"), QStringLiteral("002")};
    const QStringList digits{QString(), QStringLiteral("0"), QStringLiteral("1"),
                             QStringLiteral("2"), QStringLiteral("8")};
    const auto randomRule = [&]() {
        QStringList row = ruleRow("B S T - - - 0 0 0 0 - S S");
        row[R::IDBLOQADMI] = pick({QStringLiteral("B"), QStringLiteral("A")});
        row[R::IDCONSATIVA] = random.bounded(5) ? QStringLiteral("S") : QStringLiteral("N");
        row[R::IDENTRSAIDOP] =
            pick({QStringLiteral("E"), QStringLiteral("S"), QStringLiteral("T")});
        row[R::CDFISCOPER] = random.bounded(4) ? pick(cfops) : QString();
        row[R::CDCST1DIGT] = pick(digits);
        row[R::CDSITUTRIB] = random.bounded(4) ? pick(csts) : QString();
        row[R::CDFISCAL] = QString::number(random.bounded(4));
        for (int f : {R::IDTPBASECALC, R::IDTPALIQUOTA, R::IDTPVRIMPOSTO})
            row[f] = QString::number(random.bounded(5));
        row[R::CDTPCREDPICOITE] = pick(credits);
        row[R::IDCONSISTELANC] = pick({QStringLiteral("S"), QStringLiteral("N")});
        row[R::IDCONSISTEAPRO] = pick({QStringLiteral("S"), QStringLiteral("N")});
        return row;
    };
    QList<QStringList> rows;
    QSet<QString> keys; // the duplicate key the table enforces
    while (rows.size() < 2000) {
        const QStringList row = randomRule();
        const QString key = QStringList{row.at(R::IDBLOQADMI), row.at(R::CDFISCAL),
                                        row.at(R::CDFISCOPER), row.at(R::CDSITUTRIB)}
                                .join(QLatin1Char('/'));
        if (!keys.contains(key)) {
            keys.insert(key);
            rows.append(row);
        }
    }
    replaceRules(rows);

    const auto compare = [&](int lines) {
        const QList<QStringList> stored = all();
        const auto current = index();
        ASSERT_EQ(current->size(), stored.size());
        for (int i = 0; i < lines; ++i) {
            RuleMatch::Codes values;
            values[RuleMatch::Direction] = pick({QStringLiteral("E"), QStringLiteral("S")});
            values[RuleMatch::Cfop] = pick(cfops);
            values[RuleMatch::Cst1] = pick(digits);
            values[RuleMatch::Cst] = random.bounded(10) ? pick(csts) : QString();
            values[RuleMatch::Fiscal] = QString::number(1 + random.bounded(3));
            for (int f : {RuleMatch::BaseSign, RuleMatch::RateSign, RuleMatch::ValueSign})
                values[f] = QString::number(1 + random.bounded(3));
            values[RuleMatch::Credit] = pick(credits);
            const Stage stage = random.bounded(2) ? Stage::Entry : Stage::Approval;

            QList<QStringList> expected;
            bool blocked = false;
            bool admitted = false;
            for (const QStringList &row : stored) {
                if (RuleMatch::applies(RuleMatch::fromRow(row), stage, values)) {
                    expected.append(row);
                    (row.at(R::IDBLOQADMI) == QLatin1String("B") ? blocked : admitted) = true;
                }
            }
            const auto result = current->simulate(stage, values);
            ASSERT_EQ(packetRows(result.rules), expected) << "line " << i;
            ASSERT_EQ(result.verdict, RuleMatch::verdict(blocked, admitted));
        }
    };
    compare(3000);

    // Changes made behind the index's back, as another app server would.
    kvr::server::RuleRepository repository(*m_storage);
    {
        kvr::server::WriteTransaction transaction(*m_storage);
        QList<QStringList> stored = all();
        for (int i = 0; i < 50; ++i) {
            QStringList row = stored.at(random.bounded(int(stored.size())));
            row[R::IDCONSATIVA] = row.at(R::IDCONSATIVA) == QLatin1String("S")
                                      ? QStringLiteral("N")
                                      : QStringLiteral("S");
            row[R::IDTPALIQUOTA] = QString::number(random.bounded(5));
            repository.update(row);
        }
        repository.remove(stored.first().at(R::NRSEQCONSISTE));
        transaction.commit();
    }
    compare(500);
}

TEST_F(IndexTest, FindingsOfHandMadeRuleSets)
{
    // Rules numbered 1, 2, ... in order; findings as "kind rule other".
    const struct
    {
        QList<const char *> rules;
        QStringList findings;
    } cases[] = {
        {{"B S T 5101 - 01 1 0 0 0 - S S", "A S E 5101 - - 1 0 0 0 - S N"}, {"C 1 2"}},
        {{"B S T 5101 - 01 1 0 0 0 - S N", "A S T 5101 - 01 2 0 0 0 - N S"}, {}},
        {{"B S S 5101 - 01 1 0 0 0 - S S", "A S E - - - 1 0 0 0 - S S"}, {}},
        {{"B S T - - 01 0 4 0 0 - S S", "A S T - - - 0 2 0 0 - S S"}, {}},
        {{"B S T - - 01 0 4 0 0 - S S", "A S T - - - 0 3 0 0 - S S"}, {"C 1 2"}},
        {{"B S T - - 01 0 0 0 0 - S S", "B S E 5101 3 01 1 3 0 0 001 S N"}, {"R 2 1"}},
        {{"B S T - - 01 0 0 0 0 - S N", "B S E 5101 3 01 1 3 0 0 001 S S"}, {}},
        {{"A S T 5101 - 01 - - - - - S S", "A S - 5101 - 01 0 0 0 0 - S S"}, {"R 2 1"}},
        {{"B S T - - 01 0 4 0 0 - S S", "B S T - - 01 1 1 0 0 - S S"}, {"R 2 1"}},
        {{"B N T - - - 0 0 0 0 - S S", "A S T 5101 - 01 1 0 0 0 - S S",
          "B S T 5101 - 01 1 0 0 0 - S S"},
         {"C 3 2"}},
    };
    for (const auto &c : cases) {
        QList<QStringList> rows;
        for (const char *rule : c.rules)
            rows.append(ruleRow(rule));
        const QStringList numbers = replaceRules(rows);
        const auto result = index()->findings();
        QStringList found;
        for (const QStringList &row : packetRows(result.findings)) {
            ASSERT_EQ(row.size(), kvr::fiscal::FindingRecord::FieldCount);
            found.append(QStringLiteral("%1 %2 %3")
                             .arg(row.at(0))
                             .arg(numbers.indexOf(row.at(1)) + 1)
                             .arg(numbers.indexOf(row.at(2)) + 1));
        }
        EXPECT_EQ(found, c.findings) << c.rules.first();
        EXPECT_EQ(result.total, c.findings.size());
    }
}

TEST_F(IndexTest, MapCountsTheRulesOfEachCfopAndCst)
{
    replaceRules({ruleRow("B S S 5101 - 01 1 0 0 0 - S N"), ruleRow("B S T - - 01 2 0 0 0 - S S"),
                  ruleRow("A S E 5101 - - 1 0 0 0 - S S"), ruleRow("A S S 5101 - - 3 0 0 0 - S N"),
                  ruleRow("A S S 5102 - - 3 0 0 0 - N S"), ruleRow("B N S 5102 - 01 1 0 0 0 - S S"),
                  ruleRow("A S - - - - 2 0 0 0 - S S")});
    const QList<QStringList> cells = packetRows(index()->map(Stage::Entry, u"S"_qs));
    QMap<QString, QString> counts;
    for (const QStringList &cell : cells) {
        ASSERT_TRUE(QStringLiteral("567").contains(cell.at(0).at(0))) << cell.at(0).toStdString();
        counts.insert(cell.at(0) + QLatin1Char('/') + cell.at(1), cell.at(2) + cell.at(3));
    }
    EXPECT_EQ(counts.size(), cells.size());
    EXPECT_EQ(cells.size() % 33, 0); // every PIS CST of each CFOP
    const QMap<QString, QString> expected = {{u"5101/01"_qs, u"22"_qs},
                                             {u"5101/02"_qs, u"02"_qs},
                                             {u"5102/01"_qs, u"11"_qs},
                                             {u"5102/99"_qs, u"01"_qs}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(counts.value(it.key()), it.value()) << it.key().toStdString();
}
