#include "server/rdm/CallArgs.h"
#include "server/rdm/RuleGenerator.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/TaxInfo.h"

#include <gtest/gtest.h>

using kvr::server::CadAutoInsereArgs;
using kvr::server::RuleGenerator;
using kvr::server::RuleRecord;
using kvr::server::TaxInfo;
using R = RuleRecord;

namespace {

// A tax whose family has a few CSTs, and one without a family.
TaxInfo taxWithCsts()
{
    TaxInfo tax;
    tax.code = QStringLiteral("50");
    tax.family = QStringLiteral("PIS");
    tax.csts = QStringList{QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("49"),
                           QStringLiteral("50"), QStringLiteral("99")};
    return tax;
}

TaxInfo taxWithoutCsts()
{
    TaxInfo tax;
    tax.code = QStringLiteral("03");
    return tax;
}

CadAutoInsereArgs argsFor(const TaxInfo &tax)
{
    CadAutoInsereArgs args;
    args.tax = tax.code;
    args.atEntry = QStringLiteral("S");
    args.atApproval = QStringLiteral("N");
    args.fiscal = QStringLiteral("1");
    args.blocked = QStringLiteral("B");
    return args;
}

// "5101/01 /49 5102/": space-separated CFOP/CST combinations, either part blank.
QSet<RuleGenerator::Combination> combinations(const char *text)
{
    QSet<RuleGenerator::Combination> out;
    for (const QString &item :
         QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.insert({item.section(QLatin1Char('/'), 0, 0), item.section(QLatin1Char('/'), 1)});
    return out;
}

struct CombinationCase
{
    const char *name;
    bool withCsts;        // the tax has a CST family
    const char *cstRange; // "first-last" or ""
    const char *cfopRange;
    const char *registeredCfops; // what the catalog finds in the CFOP range
    const char *existing;
    const char *expected; // in creation order
};

class Combinations : public ::testing::TestWithParam<CombinationCase>
{
};

} // namespace

TEST_P(Combinations, EachCfopWithEachCstNotYetRegistered)
{
    const CombinationCase &c = GetParam();
    const TaxInfo tax = c.withCsts ? taxWithCsts() : taxWithoutCsts();
    CadAutoInsereArgs args = argsFor(tax);
    const QString cstRange = QString::fromLatin1(c.cstRange);
    const QString cfopRange = QString::fromLatin1(c.cfopRange);
    args.firstCst = cstRange.section(QLatin1Char('-'), 0, 0);
    args.lastCst = cstRange.section(QLatin1Char('-'), 1);
    args.firstCfop = cfopRange.section(QLatin1Char('-'), 0, 0);
    args.lastCfop = cfopRange.section(QLatin1Char('-'), 1);
    const QStringList cfops =
        QString::fromLatin1(c.registeredCfops).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QList<QStringList> rules =
        RuleGenerator(tax, args).rules(cfops, combinations(c.existing));

    QStringList made;
    for (const QStringList &rule : rules)
        made.append(rule.at(R::CDFISCOPER) + QLatin1Char('/') + rule.at(R::CDSITUTRIB));
    EXPECT_EQ(made.join(QLatin1Char(' ')).toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Combinations,
    ::testing::Values(
        // name, family, CSTs, CFOPs, registered CFOPs, existing, created
        CombinationCase{"noRanges", true, "", "", "", "", "/"},
        CombinationCase{"noRangesAlreadyThere", true, "", "", "", "/", ""},
        CombinationCase{"cstRange", true, "02-50", "", "", "", "/02 /49 /50"},
        CombinationCase{"oneCst", true, "49-49", "", "", "", "/49"},
        CombinationCase{"cstRangeWithoutFamilyCsts", true, "10-40", "", "", "", ""},
        CombinationCase{"cfopRange", true, "", "5101-5102", "5101 5102", "", "5101/ 5102/"},
        CombinationCase{"cfopRangeWithoutRegisteredCfops", true, "", "5101-5102", "", "", ""},
        CombinationCase{"cfopsIgnoredWithoutCfopRange", true, "01-01", "", "5101", "", "/01"},
        CombinationCase{"cfopByCstOrder", true, "01-02", "5101-5102", "5101 5102", "",
                        "5101/01 5101/02 5102/01 5102/02"},
        CombinationCase{"registeredSkipped", true, "01-02", "5101-5102", "5101 5102",
                        "5101/02 5102/01", "5101/01 5102/02"},
        CombinationCase{"allRegistered", true, "01-02", "5101-5101", "5101", "5101/01 5101/02", ""},
        CombinationCase{"anyCstDoesNotCoverOneCst", true, "01-01", "5101-5101", "5101", "5101/",
                        "5101/01"},
        CombinationCase{"oneCstDoesNotCoverAnyCst", true, "", "5101-5101", "5101", "5101/01",
                        "5101/"},
        CombinationCase{"otherCfopsDoNotMatter", true, "99-99", "5101-5101", "5101", "5102/99",
                        "5101/99"},
        CombinationCase{"taxWithoutFamily", false, "", "5101-5102", "5101 5102", "5102/", "5101/"}),
    [](const ::testing::TestParamInfo<CombinationCase> &info) {
        return std::string(info.param.name);
    });

namespace {

struct ValuesCase
{
    const char *fiscal;
    const char *baseSign;
    const char *rateSign;
    const char *taxValueSign;
    const char *blocked;
    // stored as
    const char *storedFiscal;
    const char *storedBase;
    const char *storedRate;
    const char *storedTaxValue;
};

class SharedValues : public ::testing::TestWithParam<ValuesCase>
{
};

} // namespace

TEST_P(SharedValues, EveryNewRuleCarriesTheCallsValuesWithAnyStoredAsZero)
{
    const ValuesCase &c = GetParam();
    const TaxInfo tax = taxWithCsts();
    CadAutoInsereArgs args = argsFor(tax);
    args.firstCst = QStringLiteral("01");
    args.lastCst = QStringLiteral("99");
    args.firstCfop = QStringLiteral("5101");
    args.lastCfop = QStringLiteral("5102");
    args.fiscal = QString::fromLatin1(c.fiscal);
    args.baseSign = QString::fromLatin1(c.baseSign);
    args.rateSign = QString::fromLatin1(c.rateSign);
    args.taxValueSign = QString::fromLatin1(c.taxValueSign);
    args.blocked = QString::fromLatin1(c.blocked);

    QStringList expected = R::blankRow();
    expected[R::CDIMPOSTO] = QStringLiteral("50");
    expected[R::IDCONSATIVA] = QStringLiteral("S");
    expected[R::IDENTRSAIDOP] = QStringLiteral("T");
    expected[R::CDFISCAL] = QString::fromLatin1(c.storedFiscal);
    expected[R::IDTPBASECALC] = QString::fromLatin1(c.storedBase);
    expected[R::IDTPALIQUOTA] = QString::fromLatin1(c.storedRate);
    expected[R::IDTPVRIMPOSTO] = QString::fromLatin1(c.storedTaxValue);
    expected[R::IDCONSISTELANC] = QStringLiteral("S");
    expected[R::IDCONSISTEAPRO] = QStringLiteral("N");
    expected[R::IDBLOQADMI] = QString::fromLatin1(c.blocked);
    expected[R::IDCONSPREDEFI] = QStringLiteral("N");

    const RuleGenerator generator(tax, args);
    const auto text = [](const QStringList &row) {
        return row.join(QLatin1Char('|')).toStdString();
    };
    EXPECT_EQ(text(generator.blueprint()), text(expected));
    const QList<QStringList> rules =
        generator.rules({QStringLiteral("5101"), QStringLiteral("5102")}, {});
    ASSERT_EQ(rules.size(), 2 * tax.csts.size());
    for (QStringList rule : rules) {
        EXPECT_TRUE(rule.at(R::NRSEQCONSISTE).isEmpty());
        rule[R::CDFISCOPER].clear();
        rule[R::CDSITUTRIB].clear();
        EXPECT_EQ(text(rule), text(expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SharedValues,
                         ::testing::Values(ValuesCase{"", "", "", "", "B", "0", "0", "0", "0"},
                                           ValuesCase{"0", "0", "0", "0", "A", "0", "0", "0", "0"},
                                           ValuesCase{"1", "2", "3", "4", "B", "1", "2", "3", "4"},
                                           ValuesCase{"3", "", "4", "", "A", "3", "0", "4", "0"},
                                           ValuesCase{"", "1", "", "2", "B", "0", "1", "0", "2"}));
