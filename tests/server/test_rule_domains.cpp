#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleValidator.h"
#include "server/rdm/TaxInfo.h"

#include <gtest/gtest.h>

using kvr::server::RuleRecord;
using kvr::server::RuleValidator;
using kvr::server::TaxInfo;

namespace {

enum class Domain { Fiscal, Sign, YesNo, Blocked, Direction, FirstDigit };

struct DomainCase
{
    Domain domain;
    const char *value;
    bool valid;
};

QString problemOf(Domain domain, const QString &value)
{
    switch (domain) {
    case Domain::Fiscal:
        return RuleValidator::problemFiscal(value);
    case Domain::Sign:
        return RuleValidator::problemSign(QStringLiteral("Sinal"), value);
    case Domain::YesNo:
        return RuleValidator::problemYesNo(QStringLiteral("Indicador"), value);
    case Domain::Blocked:
        return RuleValidator::problemBlocked(value);
    case Domain::Direction:
        return RuleValidator::problemDirection(value);
    case Domain::FirstDigit:
        return RuleValidator::problemFirstDigit(value);
    }
    return {};
}

class CodeDomains : public ::testing::TestWithParam<DomainCase>
{
};

} // namespace

TEST_P(CodeDomains, ValueIsAcceptedOnlyInsideItsDomain)
{
    const QString problem = problemOf(GetParam().domain, QString::fromLatin1(GetParam().value));
    EXPECT_EQ(problem.isEmpty(), GetParam().valid) << problem.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CodeDomains,
    ::testing::Values(
        DomainCase{Domain::Fiscal, "", true}, DomainCase{Domain::Fiscal, "0", true},
        DomainCase{Domain::Fiscal, "1", true}, DomainCase{Domain::Fiscal, "3", true},
        DomainCase{Domain::Fiscal, "4", false}, DomainCase{Domain::Fiscal, "11", false},
        DomainCase{Domain::Sign, "", true}, DomainCase{Domain::Sign, "0", true},
        DomainCase{Domain::Sign, "4", true}, DomainCase{Domain::Sign, "5", false},
        DomainCase{Domain::Sign, "-", false}, DomainCase{Domain::YesNo, "S", true},
        DomainCase{Domain::YesNo, "N", true}, DomainCase{Domain::YesNo, "", false},
        DomainCase{Domain::YesNo, "s", false}, DomainCase{Domain::Blocked, "A", true},
        DomainCase{Domain::Blocked, "B", true}, DomainCase{Domain::Blocked, "", false},
        DomainCase{Domain::Direction, "E", true}, DomainCase{Domain::Direction, "S", true},
        DomainCase{Domain::Direction, "T", true}, DomainCase{Domain::Direction, "A", false},
        DomainCase{Domain::Direction, "", false}, DomainCase{Domain::FirstDigit, "", true},
        DomainCase{Domain::FirstDigit, "0", true}, DomainCase{Domain::FirstDigit, "8", true},
        DomainCase{Domain::FirstDigit, "9", false}, DomainCase{Domain::FirstDigit, "00", false}));

TEST(CodeDomains, AmbosStoredAsAIsExplained)
{
    EXPECT_TRUE(
        RuleValidator::problemDirection(QStringLiteral("A")).contains(QStringLiteral("use T")));
}

TEST(CstOfTax, OnlyCstsOfTheFamilyOrEmpty)
{
    TaxInfo pis{
        QStringLiteral("50"), QStringLiteral("PIS"), QString(),
        QStringLiteral("50"), QStringLiteral("PIS"), {QStringLiteral("01"), QStringLiteral("05")}};
    EXPECT_TRUE(RuleValidator::problemCst(pis, QString()).isEmpty());
    EXPECT_TRUE(RuleValidator::problemCst(pis, QStringLiteral("05")).isEmpty());
    EXPECT_FALSE(RuleValidator::problemCst(pis, QStringLiteral("5")).isEmpty());
    EXPECT_FALSE(RuleValidator::problemCst(pis, QStringLiteral("00")).isEmpty());
    TaxInfo iss{QStringLiteral("03"),
                QStringLiteral("ISS"),
                QString(),
                QStringLiteral("99"),
                QString(),
                {}};
    EXPECT_TRUE(RuleValidator::problemCst(iss, QString()).isEmpty());
    EXPECT_TRUE(RuleValidator::problemCst(iss, QStringLiteral("00"))
                    .contains(QStringLiteral("não usa CST")));
}

struct EmptyRuleCase
{
    const char *field;
    const char *value;
    bool empty;
};

class EmptyRule : public ::testing::TestWithParam<EmptyRuleCase>
{
};

TEST_P(EmptyRule, OneRestrictingCodeMakesARule)
{
    QStringList row = RuleRecord::blankRow();
    for (const int f : {RuleRecord::CDFISCAL, RuleRecord::IDTPBASECALC, RuleRecord::IDTPALIQUOTA,
                        RuleRecord::IDTPVRIMPOSTO})
        row[f] = QStringLiteral("0");
    // Fields that do not restrict the combination.
    row[RuleRecord::IDENTRSAIDOP] = QStringLiteral("E");
    row[RuleRecord::CDTPCREDPICOITE] = QStringLiteral("001");
    row[RuleRecord::DSCONSISTENCIA] = QStringLiteral("descrição");
    for (int f = 0; f < RuleRecord::FieldCount; ++f)
        if (RuleRecord::name(f) == QLatin1String(GetParam().field))
            row[f] = QString::fromLatin1(GetParam().value);
    EXPECT_EQ(RuleValidator::isEmptyRule(row), GetParam().empty);
}

INSTANTIATE_TEST_SUITE_P(Table, EmptyRule,
                         ::testing::Values(EmptyRuleCase{"CDFISCAL", "0", true},
                                           EmptyRuleCase{"CDFISCAL", "", true},
                                           EmptyRuleCase{"CDFISCAL", "1", false},
                                           EmptyRuleCase{"CDFISCOPER", "5102", false},
                                           EmptyRuleCase{"CDCST1DIGT", "0", false},
                                           EmptyRuleCase{"CDSITUTRIB", "00", false},
                                           EmptyRuleCase{"IDTPALIQUOTA", "2", false},
                                           EmptyRuleCase{"IDTPVRIMPOSTO", "4", false},
                                           EmptyRuleCase{"IDTPBASECALC", "1", false},
                                           EmptyRuleCase{"IDTPBASECALC", "", true}));

TEST(RuleRecordLayout, EighteenFieldsWithTheirWidths)
{
    const QList<int> widths = {1, 2, 1, 10, 1, 4, 1, 2, 1, 1, 1, 1, 3, 250, 1, 1, 1, 1};
    ASSERT_EQ(RuleRecord::fields().size(), widths.size());
    for (int f = 0; f < RuleRecord::FieldCount; ++f)
        EXPECT_EQ(RuleRecord::width(f), widths.at(f)) << RuleRecord::name(f).toStdString();
    EXPECT_EQ(RuleRecord::name(RuleRecord::IDMARCADO), QStringLiteral("IDMARCADO"));
    EXPECT_EQ(RuleRecord::name(RuleRecord::IDCONSPREDEFI), QStringLiteral("IDCONSPREDEFI"));
}
