#include "fiscal/ConsisteFiscalContract.h"
#include "server/rdm/RuleGenerator.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/TaxInfo.h"

#include <gtest/gtest.h>

using CadAutoInsereArgs = kvr::fiscal::CadAutoInsere;
using kvr::server::RuleGenerator;
using kvr::server::RuleRecord;
using kvr::server::TaxInfo;
using R = RuleRecord;

namespace {

// A tax whose family has a few CSTs, or one without a family.
TaxInfo tax(bool withCsts)
{
    TaxInfo tax;
    tax.code = QString::fromLatin1(withCsts ? "50" : "03");
    if (withCsts) {
        tax.family = QStringLiteral("PIS");
        tax.csts = QStringList{QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("49"),
                               QStringLiteral("50"), QStringLiteral("99")};
    }
    return tax;
}

// The call for `tax` over the CST and CFOP ranges ("first-last" or "").
CadAutoInsereArgs argsFor(const TaxInfo &tax, const QString &cstRange, const QString &cfopRange)
{
    CadAutoInsereArgs args;
    args.tax = tax.code;
    args.firstCst = cstRange.section(QLatin1Char('-'), 0, 0);
    args.lastCst = cstRange.section(QLatin1Char('-'), 1);
    args.firstCfop = cfopRange.section(QLatin1Char('-'), 0, 0);
    args.lastCfop = cfopRange.section(QLatin1Char('-'), 1);
    args.atEntry = QStringLiteral("S");
    args.atApproval = QStringLiteral("N");
    args.fiscal = QStringLiteral("1");
    args.blocked = QStringLiteral("B");
    return args;
}

// "5101/01 /49 5102/": space-separated CFOP/CST combinations, either side blank.
QSet<RuleGenerator::Combination> combinations(const char *text)
{
    QSet<RuleGenerator::Combination> out;
    for (const QString &item :
         QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.insert({item.section(QLatin1Char('/'), 0, 0), item.section(QLatin1Char('/'), 1)});
    return out;
}

} // namespace

TEST(RuleGenerator, EachCfopWithEachCstNotYetRegistered)
{
    // The CST range, the CFOP range, what the catalog finds in the CFOP range,
    // the combinations already there and those created, in creation order.
    const struct
    {
        const char *name;
        bool withCsts; // the tax has a CST family
        const char *cstRange, *cfopRange, *registeredCfops, *existing, *expected;
    } cases[] = {
        {"noRanges", true, "", "", "", "", "/"},
        {"noRangesAlreadyThere", true, "", "", "", "/", ""},
        {"cstRange", true, "02-50", "", "", "", "/02 /49 /50"},
        {"oneCst", true, "49-49", "", "", "", "/49"},
        {"cstRangeWithoutFamilyCsts", true, "10-40", "", "", "", ""},
        {"cfopRange", true, "", "5101-5102", "5101 5102", "", "5101/ 5102/"},
        {"cfopRangeWithoutRegisteredCfops", true, "", "5101-5102", "", "", ""},
        {"cfopsIgnoredWithoutCfopRange", true, "01-01", "", "5101", "", "/01"},
        {"cfopByCstOrder", true, "01-02", "5101-5102", "5101 5102", "",
         "5101/01 5101/02 5102/01 5102/02"},
        {"registeredSkipped", true, "01-02", "5101-5102", "5101 5102", "5101/02 5102/01",
         "5101/01 5102/02"},
        {"allRegistered", true, "01-02", "5101-5101", "5101", "5101/01 5101/02", ""},
        {"anyCstDoesNotCoverOneCst", true, "01-01", "5101-5101", "5101", "5101/", "5101/01"},
        {"oneCstDoesNotCoverAnyCst", true, "", "5101-5101", "5101", "5101/01", "5101/"},
        {"otherCfopsDoNotMatter", true, "99-99", "5101-5101", "5101", "5102/99", "5101/99"},
        {"taxWithoutFamily", false, "", "5101-5102", "5101 5102", "5102/", "5101/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TaxInfo t = tax(c.withCsts);
        const QStringList cfops =
            QString::fromLatin1(c.registeredCfops).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QStringList made;
        for (const QStringList &rule : RuleGenerator(t, argsFor(t, c.cstRange, c.cfopRange))
                                           .rules(cfops, combinations(c.existing)))
            made.append(rule.at(R::CDFISCOPER) + QLatin1Char('/') + rule.at(R::CDSITUTRIB));
        EXPECT_EQ(made.join(QLatin1Char(' ')).toStdString(), c.expected);
    }
}

TEST(RuleGenerator, EveryNewRuleCarriesTheCallsValuesWithAnyStoredAsZero)
{
    const struct
    {
        const char *fiscal, *baseSign, *rateSign, *taxValueSign, *blocked;
        const char *storedFiscal, *storedBase, *storedRate, *storedTaxValue;
    } cases[] = {
        {"", "", "", "", "B", "0", "0", "0", "0"},
        {"0", "0", "0", "0", "A", "0", "0", "0", "0"},
        {"1", "2", "3", "4", "B", "1", "2", "3", "4"},
        {"3", "", "4", "", "A", "3", "0", "4", "0"},
        {"", "1", "", "2", "B", "0", "1", "0", "2"},
    };
    const auto text = [](const QStringList &row) {
        return row.join(QLatin1Char('|')).toStdString();
    };
    const TaxInfo t = tax(true);
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.fiscal) + c.baseSign + c.rateSign + c.taxValueSign + c.blocked);
        CadAutoInsereArgs args = argsFor(t, QStringLiteral("01-99"), QStringLiteral("5101-5102"));
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

        const RuleGenerator generator(t, args);
        EXPECT_EQ(text(generator.blueprint()), text(expected));
        const QList<QStringList> rules =
            generator.rules({QStringLiteral("5101"), QStringLiteral("5102")}, {});
        ASSERT_EQ(rules.size(), 2 * t.csts.size());
        for (QStringList rule : rules) {
            EXPECT_TRUE(rule.at(R::NRSEQCONSISTE).isEmpty());
            rule[R::CDFISCOPER].clear();
            rule[R::CDSITUTRIB].clear();
            EXPECT_EQ(text(rule), text(expected));
        }
    }
}
