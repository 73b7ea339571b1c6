#include "fiscal/RuleMatch.h"

#include "fiscal/RuleRecord.h"

namespace kvr::fiscal {

namespace {

// The line values a code admits: any, itself, or "1" and "3" for the sign
// class "4" (different from zero).
struct Admitted
{
    bool any = false;
    QString first;
    QString second;

    bool contains(const QString &value) const
    {
        return any || value == first || (!second.isNull() && value == second);
    }
    // Every value this admits is admitted by `wider`.
    bool within(const Admitted &wider) const
    {
        if (wider.any)
            return true;
        if (any)
            return false;
        return wider.contains(first) && (second.isNull() || wider.contains(second));
    }
    bool meets(const Admitted &other) const
    {
        if (any || other.any)
            return true;
        return other.contains(first) || (!second.isNull() && other.contains(second));
    }
};

bool isSign(RuleMatch::Field field)
{
    return field == RuleMatch::BaseSign || field == RuleMatch::RateSign ||
           field == RuleMatch::ValueSign;
}

Admitted admitted(RuleMatch::Field field, const QString &code)
{
    if (RuleMatch::isAny(field, code))
        return {true, {}, {}};
    if (isSign(field) && code == QLatin1String("4"))
        return {false, QStringLiteral("1"), QStringLiteral("3")};
    return {false, code, {}};
}

} // namespace

int RuleMatch::recordField(Field field)
{
    static constexpr int fields[FieldCount] = {
        RuleRecord::IDENTRSAIDOP, RuleRecord::CDFISCOPER,    RuleRecord::CDCST1DIGT,
        RuleRecord::CDSITUTRIB,   RuleRecord::CDFISCAL,      RuleRecord::IDTPBASECALC,
        RuleRecord::IDTPALIQUOTA, RuleRecord::IDTPVRIMPOSTO, RuleRecord::CDTPCREDPICOITE,
    };
    return fields[field];
}

RuleMatch::Rule RuleMatch::fromRow(const QStringList &row)
{
    const auto yes = [&row](int field) { return row.at(field) == QLatin1String("S"); };
    Rule rule;
    rule.number = row.at(RuleRecord::NRSEQCONSISTE);
    rule.active = yes(RuleRecord::IDCONSATIVA);
    rule.blocked = row.at(RuleRecord::IDBLOQADMI) == QLatin1String("B");
    rule.atEntry = yes(RuleRecord::IDCONSISTELANC);
    rule.atApproval = yes(RuleRecord::IDCONSISTEAPRO);
    for (int f = 0; f < FieldCount; ++f)
        rule.codes[f] = row.at(recordField(Field(f)));
    return rule;
}

bool RuleMatch::isAny(Field field, const QString &code)
{
    if (code.isEmpty())
        return true;
    // A line goes in or out, so "T" admits every line.
    if (field == Direction)
        return code == QLatin1String("T");
    return (field == Fiscal || isSign(field)) && code == QLatin1String("0");
}

bool RuleMatch::fieldMatches(Field field, const QString &code, const QString &value)
{
    return admitted(field, code).contains(value);
}

bool RuleMatch::matches(const Codes &rule, const Codes &line)
{
    for (int f = 0; f < FieldCount; ++f)
        if (!fieldMatches(Field(f), rule[f], line[f]))
            return false;
    return true;
}

bool RuleMatch::verifiedAt(const Rule &rule, Stage stage)
{
    return stage == Stage::Entry ? rule.atEntry : rule.atApproval;
}

bool RuleMatch::applies(const Rule &rule, Stage stage, const Codes &line)
{
    return rule.active && verifiedAt(rule, stage) && matches(rule.codes, line);
}

QString RuleMatch::verdict(bool anyBlocked, bool anyAdmitted)
{
    if (anyBlocked && anyAdmitted)
        return QStringLiteral("C");
    if (anyBlocked)
        return QStringLiteral("B");
    if (anyAdmitted)
        return QStringLiteral("A");
    return QString();
}

bool RuleMatch::appliesAnywhere(const Rule &rule)
{
    return rule.active && (rule.atEntry || rule.atApproval);
}

bool RuleMatch::overlap(const Rule &a, const Rule &b)
{
    if (!appliesAnywhere(a) || !appliesAnywhere(b))
        return false;
    if (!((a.atEntry && b.atEntry) || (a.atApproval && b.atApproval)))
        return false;
    for (int f = 0; f < FieldCount; ++f)
        if (!admitted(Field(f), a.codes[f]).meets(admitted(Field(f), b.codes[f])))
            return false;
    return true;
}

bool RuleMatch::covers(const Rule &a, const Rule &b)
{
    if (!appliesAnywhere(b))
        return true;
    if (!a.active || (b.atEntry && !a.atEntry) || (b.atApproval && !a.atApproval))
        return false;
    for (int f = 0; f < FieldCount; ++f)
        if (!admitted(Field(f), b.codes[f]).within(admitted(Field(f), a.codes[f])))
            return false;
    return true;
}

} // namespace kvr::fiscal
