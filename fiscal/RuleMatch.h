#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace kvr::fiscal {

// When a rule applies to an invoice line: the one definition that the
// server's rule index, the simulation screen and the tests read.
//
// A line, for one tax and one stage, gives a value for each field. An active
// rule verified at that stage applies when every field matches: direction "T"
// matches "E" and "S"; an empty code (and "0" in the fiscal code and the sign
// classes) matches any value; sign class "4" matches "1" and "3"; any other
// code matches only itself.
class RuleMatch final
{
public:
    enum Field {
        Direction,
        Cfop,
        Cst1,
        Cst,
        Fiscal,
        BaseSign,
        RateSign,
        ValueSign,
        Credit,
        FieldCount
    };
    using Codes = std::array<QString, FieldCount>;

    // "L": the invoice is entered; "A": it is approved.
    enum class Stage { Entry, Approval };

    struct Rule
    {
        QString number;
        bool active = false;
        bool blocked = false;
        bool atEntry = false;
        bool atApproval = false;
        Codes codes;
    };

    // The RuleRecord field that holds `field`.
    static int recordField(Field field);
    // The match view of a RuleRecord row.
    static Rule fromRow(const QStringList &row);

    static bool fieldMatches(Field field, const QString &code, const QString &value);
    static bool matches(const Codes &rule, const Codes &line);
    static bool verifiedAt(const Rule &rule, Stage stage);
    static bool applies(const Rule &rule, Stage stage, const Codes &line);

    // "B" only blocked rules apply, "A" only admitted ones, "C" both, "" none.
    static QString verdict(bool anyBlocked, bool anyAdmitted);

    // Whether some line at some stage has both rules apply.
    static bool overlap(const Rule &a, const Rule &b);
    // Whether `a` applies to every line at every stage that `b` applies to.
    static bool covers(const Rule &a, const Rule &b);
    // Whether the rule applies to any line at all.
    static bool appliesAnywhere(const Rule &rule);
    // Whether a field's code matches every value.
    static bool isAny(Field field, const QString &code);
};

} // namespace kvr::fiscal
